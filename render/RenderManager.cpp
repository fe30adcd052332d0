#include "RenderManager.h"

#include "MediaProbe.h"
#include "RefCountedObject.h"
#include "RenderThread.h"
#include "ShaderLibrary.h"
#include "Transport.h"
#include "common/FrameSize.h"
#include "compose/PreviewLayers.h"
#include "compose/TransPreviewItem.h"
#include "compose/VideoPreviewItem.h"
#include "player/PlayerManager.h"
#include "proxy/ProxyMaker.h"

#include "common/ValueQt.h"

#include "bridge/Logger.h"
#include "graphics/GsDevice.h"
#include "graphics/GsScene.h"

#include "media/MovieInfo.h"

#include <QFileInfo>

RenderManager::RenderManager(QObject *parent) : QObject(parent), m_transport(new Transport(this))
{
    m_proxies = new ProxyMaker(this);
}

RenderManager::~RenderManager()
{
    stopRenderThread();
    // The items go while the graphics device still exists.
    delete m_layers;
    m_layers = nullptr;
    if (m_scene)
        m_scene->Release();
    m_scene = nullptr;
    if (m_ownsDevice)
        GsDevice::DestroyDefaultDevice();
}

bool RenderManager::init()
{
    m_player = new PlayerManager(this);
    m_player->setTimeline(m_timeline);
    // The player hands each played frame's pictures to the preview items itself
    // (shown when heard); only the playhead, and pictures it could not place, come
    // through here.
    connect(m_player, &PlayerManager::sig_picturesToPlace, this,
            [this](const QList<TrackFrame> &pictures) {
                if (m_layers)
                    m_layers->slot_trackFrames(pictures);
            });
    connect(m_player, &PlayerManager::sig_framePlayed, m_transport, &Transport::played);
    // Playback ran out of timeline.
    connect(m_player, &PlayerManager::sig_controlPlay, m_transport, &Transport::pause);
    connect(m_transport, &Transport::sig_playingChanged, m_player,
            [this] { m_player->setPlaying(m_transport->isPlaying(), m_transport->playhead()); });
    // A seek while playing: playback goes on from there.
    connect(m_transport, &Transport::sig_playheadMoved, m_player,
            [this](int64_t frame, bool byPlayer) {
                if (!byPlayer && m_player->isPlaying())
                    m_player->seek(frame);
            });
    if (!GsDevice::DefaultDevice()) {
        if (!GsDevice::CreateDefaultDevice(false))
            return false;
        m_ownsDevice = true;
    }
    ShaderLibrary::registerAll(GsDevice::DefaultDevice());
    setSceneSize(framesize::kDefaultWidth, framesize::kDefaultHeight, false);
    m_layers = new PreviewLayers(this);
    m_player->setRoute(m_layers->route());
    connect(this, &RenderManager::sig_queryScene, this, [this] { emit sig_sendScene(m_scene); });
    startRenderThread();
    return true;
}

void RenderManager::startRenderThread()
{
    if (!m_renderThread && GsDevice::DefaultDevice())
        m_renderThread = new RenderThread;
}

void RenderManager::stopRenderThread()
{
    delete m_renderThread;
    m_renderThread = nullptr;
}

void RenderManager::setSceneSize(uint32_t width, uint32_t height, bool fixed)
{
    m_sceneWidth = width;
    m_sceneHeight = height;
    if (GsDevice::DefaultDevice()) {
        GsScene *old = m_scene;
        m_scene = new RefCountedObject<GsScene>(width, height);
        m_scene->AddRef();
        // The views and layers move to the new scene before the old one is let go.
        emit sig_sceneReplaced();
        emit sig_sendScene(m_scene);
        if (old)
            old->Release();
    }
    emit sig_updateSceneSize(int(width), int(height));
    m_sizeFixed = fixed;
}

void RenderManager::addItem(GsItem *item)
{
    if (!item || !m_scene)
        return;
    m_scene->AddItem(item);
    // A video item's transitions are drawn by its companion over the whole scene.
    if (auto *video = dynamic_cast<VideoPreviewItem *>(item)) {
        video->companion()->SetBaseSize(float(m_scene->width()), float(m_scene->height()));
        m_scene->AddItem(video->companion());
    }
    m_scene->OrderItem();
}

void RenderManager::removeItem(GsItem *item)
{
    if (!item || !m_scene)
        return;
    if (auto *video = dynamic_cast<VideoPreviewItem *>(item))
        m_scene->RemoveItem(video->companion());
    m_scene->RemoveItem(item);
}

void RenderManager::orderItems()
{
    if (m_scene)
        m_scene->OrderItem();
}

void RenderManager::setTimeline(std::shared_ptr<TimelineFeed> feed)
{
    m_timeline = std::move(feed);
    if (m_player)
        m_player->setTimeline(m_timeline);
}

void RenderManager::adoptVideoSize(const bg::ValueMap &info)
{
    const auto at = [&info](const char *key) {
        const auto it = info.find(key);
        return it == info.end() ? 0 : it->second.toInt32();
    };
    const int width = at("width"), height = at("height");
    if (!m_sizeFixed && width > 0 && height > 0)
        setSceneSize(uint32_t(width), uint32_t(height), false);
}
