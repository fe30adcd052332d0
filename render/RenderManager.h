#pragma once
// The preview's rendering and playback: the scene and its layers, the render loop,
// the player and the transport they follow; owns the project resolution (the scene
// size; the file's scene section is SceneSection's). Exports and takes are their
// owners' (Exporter, RecordManager), which follow the same transport.
// Lives on: main thread.

#include "RenderTypes.h"
#include "TimelineReader.h"
#include "bridge/Value.h"
#include "common/FrameSize.h"

#include <QObject>
#include <QString>

#include <cstdint>
#include <memory>

class PreviewLayers;
class GsItem;
class PlayerManager;
class ProxyMaker;
class GsScene;
class QXmlStreamReader;
class QXmlStreamWriter;
class RenderThread;
class Transport;

class RenderManager : public QObject {
    Q_OBJECT
public:
    explicit RenderManager(QObject *parent = nullptr);
    ~RenderManager() override;

    // Creates the graphics device, registers the shader programs, makes the scene
    // and starts the render thread; false when the graphics device cannot be made.
    bool init();

    GsScene *scene() const { return m_scene; }
    // Items of the preview scene, drawn in ascending order value.
    void addItem(GsItem *item);
    void removeItem(GsItem *item);
    void orderItems();
    // The render loop (stopped while an export runs).
    void startRenderThread();
    void stopRenderThread();
    RenderThread *renderThread() const { return m_renderThread; }

    // Play, pause, seek, record and the playhead: the player and the recorder follow it.
    Transport *transport() const { return m_transport; }
    PlayerManager *playerManager() const { return m_player; }
    // Makes the materials' proxies for the preview.
    ProxyMaker *proxyMaker() const { return m_proxies; }
    // The visual tracks' items in the scene, fed with what the timeline shows.
    PreviewLayers *layers() const { return m_layers; }
    // What playback and export read: the timeline's published state.
    void setTimeline(std::shared_ptr<TimelineFeed> feed);

    void setSceneSize(uint32_t width, uint32_t height, bool fixed);
    uint32_t sceneWidth() const { return m_sceneWidth; }
    uint32_t sceneHeight() const { return m_sceneHeight; }
    bool sizeFixed() const { return m_sizeFixed; }

    // A video's size (from probeMediaFile) becomes the project resolution, unless the
    // resolution was chosen explicitly.
    void adoptVideoSize(const bg::ValueMap &info);

signals:
    // The scene, to a view that asked for it (sig_queryScene) or after a new one.
    void sig_sendScene(GsScene *scene);
    // A new scene (a new project size) replaced the old one and its items.
    void sig_sceneReplaced();
    void sig_updateSceneSize(int width, int height);
    // Decoded frames of a previewed clip (emitted on a decoding thread), for the
    // crop editor.
    void sig_updateCropMenu(const QList<VFrameInfo> &frames);
    void sig_queryScene();
    // Moves the timeline forward (the preview's step button).
    void sig_frontFrameRequest(MoveType type, EditType edit, int64_t times);
    // Steps the play position back; moves it to a frame (the timeline view's slots).
    void sig_backFrameRequest(MoveType type, EditType edit, int64_t times);
    void sig_resetFrame(int64_t frame, EditType edit, bool operate);

private:
    PlayerManager *m_player = nullptr;
    ProxyMaker *m_proxies = nullptr;
    PreviewLayers *m_layers = nullptr;
    std::shared_ptr<TimelineFeed> m_timeline;
    Transport *m_transport; // a child
    RenderThread *m_renderThread = nullptr;
    GsScene *m_scene = nullptr; // one counted reference
    uint32_t m_sceneWidth = framesize::kDefaultWidth;
    uint32_t m_sceneHeight = framesize::kDefaultHeight;
    bool m_sizeFixed = false;
    bool m_ownsDevice = false;
};
