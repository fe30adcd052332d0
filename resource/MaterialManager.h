#pragma once
// Owns the open project's materials: adds and removes them as undoable steps,
// classifies files, reports duplicates and missing files, and makes a preview
// picture for each material on its own worker thread. One listener (the library
// view) receives a complete snapshot after every change.
// Lives on: main thread for every operation; its preview worker thread (a JobWorker
// member) makes one preview per request and touches only a material's picture
// (under m_listMutex).

#include "MaterialTypes.h"
#include "common/JobWorker.h"
#include "undo/ZuObject.h"

#include <QObject>
#include <QSet>

#include <memory>
#include <mutex>

class MaterialObject;

class MaterialManager : public QObject, public zua::ZuObject {
    Q_OBJECT
public:
    explicit MaterialManager(MaterialListener *listener, QObject *parent = nullptr);
    ~MaterialManager() override;

    // `loading`: a project file is being read (nothing recorded in the history).
    void AddMaterialFiles(const QStringList &paths, bool loading);
    void AddMaterialSubtitle(const QString &name, const QFont &font, const QColor &color,
                             bool loading);
    void RemoveMaterials(const QStringList &uuids);
    void ClearMaterials();
    void ClearPreviewQueue();

    // A copy of every listed material (attached and removed), in list order.
    QList<MaterialData> snapshot() const;
    int pendingPreviews() const;

    void onChange(int kind, const bg::Value &arg) override;
    void onUndo(int kind, const bg::Value &arg) override;

public slots:
    void slot_updateMaterials();
    // Reports files whose preview showed them damaged (queued from the worker).
    void slot_reportDamaged();

private:
    friend class MaterialObject;
    struct PreviewRequest {
        QString path;
        MaterialType type;
        MaterialObject *material;
    };
    MaterialObject *createMaterial(const QString &path, MaterialType type, bool loading,
                                   bool usable);
    void queuePreview(const QString &path, MaterialType type, MaterialObject *material);
    void makePreview(const PreviewRequest &request);
    void notifyListener();
    void setMarker(const char *key, const char *text);

    MaterialListener *m_listener;
    mutable std::mutex m_listMutex;
    QList<MaterialObject *> m_list;
    QStringList m_damagedLater;     // found by the worker, not yet reported
    QSet<MaterialObject *> m_alive; // every object made here, listed or not
    // Last: started when all else is built.
    JobWorker<PreviewRequest> m_previews{[this](const PreviewRequest &request) {
        if (!request.path.isEmpty() && request.material)
            makePreview(request);
    }};
};
