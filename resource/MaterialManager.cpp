#include "MaterialManager.h"

#include "render/proxy/ProxyMaker.h"

#include "common/ThumbnailCache.h"

#include "MaterialObject.h"

#include "bridge/Logger.h"
#include "media/MovieInfo.h"
#include "undo/UndoController.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QTimer>

namespace {

bool decodable(const QString &path)
{
    return QFileInfo::exists(path) && ff::getMovieInfo(path.toUtf8().constData()) != nullptr;
}

} // namespace

MaterialManager::MaterialManager(MaterialListener *listener, QObject *parent)
    : QObject(parent), m_listener(listener)
{
    m_previews.start();
}

MaterialManager::~MaterialManager()
{
    m_previews.stop();
    // Objects still attached belong to the library; removed ones to the history,
    // which may outlive this manager, so they forget it.
    QList<MaterialObject *> owned;
    {
        std::lock_guard<std::mutex> lock(m_listMutex);
        for (MaterialObject *object : qAsConst(m_alive)) {
            object->m_manager = nullptr;
            if (object->attached && !object->removed && m_list.contains(object))
                owned << object;
        }
        m_alive.clear();
        m_list.clear();
    }
    qDeleteAll(owned);
}

void MaterialManager::setMarker(const char *key, const char *text)
{
    setValue(key, bg::Value(std::string(text)), true, true);
}

MaterialObject *MaterialManager::createMaterial(const QString &path, MaterialType type,
                                                bool loading, bool usable)
{
    auto *material = new MaterialObject(this);
    material->type = type;
    material->archiveRecoverd = loading;
    material->name = QFileInfo(path).fileName();
    material->path = path;
    material->identity = MaterialObject::identityOf(path);
    material->draggable = usable;
    if (loading)
        material->onChange(zua::EV_ADDED, bg::Value());
    else
        zua::ZuObject::AddObject_canUndo(material, bg::Value());
    return material;
}

void MaterialManager::AddMaterialFiles(const QStringList &paths, bool loading)
{
    if (paths.isEmpty())
        return;
    QStringList existing, missing;
    {
        zua::MergeSequence sequence("addRes");
        setMarker("UpdateMaterials AddMaterialFiles", "AddMaterialFiles Begin");
        for (const QString &path : paths) {
            const MaterialType type = MaterialTypeOfFile(path);
            if (type == MT_Unsupported)
                continue;
            // A project's material that is gone or broken keeps its tile (its clips
            // name it); a file the user adds is refused: told, and no tile is made.
            if (!QFileInfo::exists(path)) {
                if (loading)
                    queuePreview(path, type, createMaterial(path, type, loading, false));
                missing << path;
                continue;
            }
            const QString identity = MaterialObject::identityOf(path);
            // Only a live material counts: removed ones stay listed while the history
            // holds them, and the same file may have been added again since.
            bool live = false;
            {
                std::lock_guard<std::mutex> lock(m_listMutex);
                for (const MaterialObject *m : qAsConst(m_list))
                    if (!m->path.isEmpty() && !m->removed && m->identity == identity) {
                        live = true;
                        break;
                    }
            }
            if (live) {
                existing << path;
                continue;
            }
            // A file the decoder cannot open is reported with the missing ones: the
            // message speaks of footage that is "absent or damaged".
            const bool usable = decodable(path);
            if (!usable)
                missing << path;
            if (!usable && !loading)
                continue;
            queuePreview(path, type, createMaterial(path, type, loading, usable));
            // Footage too heavy to play smoothly gets its proxy in the background.
            if (usable && type == MT_Video)
                if (ProxyMaker *proxies = ProxyMaker::instance())
                    proxies->request(path);
        }
        setMarker("UpdateMaterials AddMaterialFiles", "AddMaterialFiles end");
    }
    if (m_listener && !missing.isEmpty())
        m_listener->OnMaterialNoExist(missing);
    if (m_listener && !existing.isEmpty())
        m_listener->OnMaterialAlreadyExist(existing);
}

void MaterialManager::AddMaterialSubtitle(const QString &name, const QFont &font,
                                          const QColor &color, bool loading)
{
    zua::MergeSequence sequence("addResSub");
    setMarker("UpdateMaterials AddMaterialSubtitle", "AddMaterialSubtitle begin");
    auto *material = new MaterialObject(this);
    material->type = MT_Subtitle;
    material->name = name;
    material->font = font;
    material->color = color;
    material->draggable = true;
    material->archiveRecoverd = loading;
    if (loading)
        material->onChange(zua::EV_ADDED, bg::Value());
    else
        zua::ZuObject::AddObject_canUndo(material, bg::Value());
    setMarker("UpdateMaterials AddMaterialSubtitle", "AddMaterialSubtitle end");
}

void MaterialManager::RemoveMaterials(const QStringList &uuids)
{
    zua::MergeSequence sequence("DelRes");
    setMarker("UpdateMaterials RemoveMaterials", "RemoveMaterials begin");
    for (const QString &uuid : uuids) {
        MaterialObject *found = nullptr;
        {
            std::lock_guard<std::mutex> lock(m_listMutex);
            for (MaterialObject *m : qAsConst(m_list))
                if (m->uuid == uuid) {
                    found = m;
                    break;
                }
        }
        if (found)
            zua::ZuObject::DelObject_canUndo(found, bg::Value());
    }
    setMarker("UpdateMaterials RemoveMaterials", "RemoveMaterials end");
}

void MaterialManager::ClearMaterials()
{
    QList<MaterialObject *> taken;
    {
        std::lock_guard<std::mutex> lock(m_listMutex);
        taken.swap(m_list);
    }
    zua::MergeSequence sequence("DelRes");
    setMarker("UpdateMaterials RemoveMaterials", "RemoveMaterials begin");
    for (MaterialObject *m : qAsConst(taken))
        if (!m->removed)
            zua::ZuObject::DelObject_canUndo(m, bg::Value());
    setMarker("UpdateMaterials RemoveMaterials", "RemoveMaterials end");
}

void MaterialManager::ClearPreviewQueue()
{
    m_previews.clear();
}

QList<MaterialData> MaterialManager::snapshot() const
{
    QList<MaterialData> copy;
    std::lock_guard<std::mutex> lock(m_listMutex);
    copy.reserve(m_list.size());
    for (const MaterialObject *m : m_list)
        copy << static_cast<const MaterialData &>(*m);
    return copy;
}

int MaterialManager::pendingPreviews() const
{
    return m_previews.pending();
}

void MaterialManager::notifyListener()
{
    if (m_listener)
        m_listener->OnMaterialChanged(snapshot());
}

void MaterialManager::onChange(int kind, const bg::Value &arg)
{
    if (kind != zua::EV_CHANGED)
        return;
    BG_LOG_D("material marker: %s", arg.toStdString().c_str());
    notifyListener();
}

void MaterialManager::onUndo(int kind, const bg::Value &arg)
{
    onChange(kind, arg);
}

void MaterialManager::slot_updateMaterials()
{
    notifyListener();
    if (m_listener)
        m_listener->OnMaterialPreviewUpdated();
}

void MaterialManager::slot_reportDamaged()
{
    // One report at a time: while another message is open, this one waits for it.
    if (QApplication::activeModalWidget()) {
        QTimer::singleShot(250, this, &MaterialManager::slot_reportDamaged);
        return;
    }
    QStringList paths;
    {
        std::lock_guard<std::mutex> lock(m_listMutex);
        paths.swap(m_damagedLater);
    }
    if (m_listener && !paths.isEmpty())
        m_listener->OnMaterialNoExist(paths);
}

void MaterialManager::queuePreview(const QString &path, MaterialType type, MaterialObject *material)
{
    m_previews.add({path, type, material});
}

void MaterialManager::makePreview(const PreviewRequest &request)
{
    {
        std::lock_guard<std::mutex> lock(m_listMutex);
        if (!m_list.contains(request.material))
            return;
    }
    QImage preview;
    bool damaged = false;
    if (request.type == MT_Image || request.type == MT_Video) {
        ff::ImageRequest still;
        still.position = 0.2;
        still.width = 100;
        still.height = 80;
        const ff::VFramePtr frame = ff::getMovieImage(request.path.toUtf8().constData(), still);
        if (frame) {
            preview = QImage(frame->data(), frame->width, frame->height, frame->stride,
                             QImage::Format_RGBA8888)
                          .copy();
            preview.save(ThumbnailCache::pathFor(request.path), "PNG");
        } else {
            preview = QImage(QStringLiteral(":/image/res_cannotload.png"));
            damaged = true;
        }
    } else if (request.type == MT_Subtitle) {
        preview = QImage(QStringLiteral(":/image/res_text.png"));
    } else {
        preview = QImage(QStringLiteral(":/image/res_music.png"));
    }
    std::lock_guard<std::mutex> lock(m_listMutex);
    if (!m_list.contains(request.material))
        return;
    request.material->preview = preview;
    // A file that could be described but not decoded is damaged after all: it can no
    // longer be dragged, and it is reported like those found when it was added.
    if (damaged && request.material->draggable) {
        request.material->draggable = false;
        m_damagedLater << request.path;
        QMetaObject::invokeMethod(this, "slot_reportDamaged", Qt::QueuedConnection);
    }
    QMetaObject::invokeMethod(this, "slot_updateMaterials", Qt::AutoConnection);
}
