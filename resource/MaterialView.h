#pragma once
// The material library's tile view: mirrors the material manager's snapshots as
// tiles matched by uuid, lays them out in rows filtered by kind, zooms, deletes
// with confirmation, accepts dropped files and writes/reads the project file's
// material section.
// Lives on: main thread.

#include "MaterialTypes.h"
#include "common/MaterialPaths.h"

#include <QGraphicsView>

class MaterialItem;
class MaterialManager;
class MaterialScene;
class QXmlStreamReader;
class QXmlStreamWriter;

class MaterialView : public QGraphicsView, public MaterialListener {
    Q_OBJECT
public:
    explicit MaterialView(QWidget *parent = nullptr);
    ~MaterialView() override;

    MaterialManager *manager() const { return m_manager; }
    MaterialScene *materialScene() const { return m_scene; }
    const QList<MaterialData> &materials() const { return m_snapshot; }
    QList<MaterialItem *> tiles() const;

    void setMask(int32_t mask);
    // Scales by 1.25 per step up, 0.8 per step down, then lays the tiles out again.
    void zoomSteps(int steps);
    void layoutTiles();

    // The project file's "Resource" section; `paths` (kept, must outlive the view)
    // answers how the open project names its files.
    void setMaterialPaths(const MaterialPaths *paths) { m_paths = paths; }
    void writeMaterials(QXmlStreamWriter &writer, bool archive) const;
    void readMaterials(QXmlStreamReader &reader);
    void readLegacyMaterials(QXmlStreamReader &reader);

    // Shows the "n paths" report box (at most six paths listed).
    static QString reportText(const QString &key, const QStringList &paths);

    void OnMaterialChanged(const QList<MaterialData> &materials) override;
    void OnMaterialAlreadyExist(const QStringList &paths) override;
    void OnMaterialNoExist(const QStringList &paths) override;
    void OnMaterialPreviewUpdated() override;

signals:
    void sig_scaleChanged(int delta);
    void sig_MaterialNumChanged(int count);
    // A lone project file was dropped: the application opens it.
    void sig_openProject(const QString &path);

public slots:
    void slot_removeMaterials();

protected:
    void resizeEvent(QResizeEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    const MaterialPaths *m_paths = &MaterialPaths::plain();
    MaterialScene *m_scene;
    MaterialManager *m_manager;
    QList<MaterialData> m_snapshot;
    QList<MaterialItem *> m_tiles; // creation order
};
