#include "MaterialView.h"

#include "DroppedFiles.h"

#include "MaterialItem.h"
#include "MaterialManager.h"
#include "MaterialScene.h"

#include "common/MessageBox.h"
#include "common/QssManager.h"
#include "common/Translate.h"

#include <QContextMenuEvent>
#include <QHash>
#include <QMenu>

#include "render/proxy/ProxyMaker.h"
#include "render/proxy/ProxyStore.h"
#include <QMimeData>
#include <QScrollBar>

MaterialView::MaterialView(QWidget *parent)
    : QGraphicsView(parent), m_scene(new MaterialScene(this)),
      m_manager(new MaterialManager(this, this))
{
    setScene(m_scene);
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
    setDragMode(QGraphicsView::RubberBandDrag);
    setAcceptDrops(true);
    setProperty("empty", true);
    // The tiles show their proxies' progress.
    if (ProxyMaker *proxies = ProxyMaker::instance()) {
        connect(proxies, &ProxyMaker::sig_progress, viewport(), qOverload<>(&QWidget::update));
        connect(proxies, &ProxyMaker::sig_finished, viewport(), qOverload<>(&QWidget::update));
    }
}

MaterialView::~MaterialView()
{
    delete m_manager; // stops the preview worker before the tiles go
    m_manager = nullptr;
}

QList<MaterialItem *> MaterialView::tiles() const
{
    return m_tiles;
}

void MaterialView::OnMaterialChanged(const QList<MaterialData> &materials)
{
    m_snapshot = materials;
    // Tiles are matched by uuid, so a refresh after each thumbnail only updates
    // the tiles' data instead of rebuilding the scene.
    QHash<QString, int> entryOf;
    entryOf.reserve(materials.size());
    for (int i = 0; i < materials.size(); ++i)
        entryOf.insert(materials[i].uuid, i);
    QVector<bool> consumed(materials.size(), false);
    for (auto it = m_tiles.begin(); it != m_tiles.end();) {
        MaterialItem *tile = *it;
        const auto found = entryOf.constFind(tile->data().uuid);
        if (found == entryOf.constEnd()) {
            delete tile;
            it = m_tiles.erase(it);
            continue;
        }
        tile->setData(materials[*found]);
        consumed[*found] = true;
        ++it;
    }
    int attached = 0;
    for (int i = 0; i < materials.size(); ++i) {
        attached += materials[i].attached ? 1 : 0;
        if (consumed[i])
            continue;
        auto *tile = new MaterialItem(materials[i]);
        m_scene->addItem(tile);
        m_tiles << tile;
    }
    layoutTiles();
    emit sig_MaterialNumChanged(attached);
}

void MaterialView::OnMaterialPreviewUpdated()
{
    viewport()->update();
}

QString MaterialView::reportText(const QString &key, const QStringList &paths)
{
    QString list;
    for (int i = 0; i < paths.size() && i < 6; ++i)
        list += QStringLiteral("(%1) ").arg(i + 1) + paths[i] + QLatin1Char('\n');
    if (paths.size() > 6)
        list += QStringLiteral("...");
    return zuaTranslate(key).arg(paths.size()).arg(list);
}

void MaterialView::OnMaterialAlreadyExist(const QStringList &paths)
{
    MessageBox::inform(window(), ZKEY("material_view.Hint"),
                       reportText(ZKEY("material_view.AreadyExist"), paths),
                       ZKEY("material_view.Ok"));
}

void MaterialView::OnMaterialNoExist(const QStringList &paths)
{
    MessageBox::inform(window(), ZKEY("material_view.Hint"),
                       reportText(ZKEY("material_view.NoExist"), paths), ZKEY("material_view.Ok"));
}

void MaterialView::setMask(int32_t mask)
{
    m_scene->setMask(mask);
    layoutTiles();
}

void MaterialView::layoutTiles()
{
    const double s = QssManager::screenScale();
    const double cellW = 105 * s, cellH = 85 * s, margin = 10 * s;
    // The visible width in scene units (the view may be zoomed).
    const double width = mapToScene(viewport()->rect()).boundingRect().width();
    int column = 0, row = 0;
    for (MaterialItem *tile : qAsConst(m_tiles)) {
        const MaterialData &d = tile->data();
        const bool shown = (d.type & m_scene->mask()) && d.attached;
        tile->setVisible(shown);
        if (!shown)
            continue;
        if ((column + 1) * cellW > width) {
            ++row;
            column = 0;
        }
        tile->setPos(column * cellW + margin, row * cellH + margin);
        ++column;
    }
    m_scene->setSceneRect(0, 0, width, (row + 1) * cellH);
}

void MaterialView::zoomSteps(int steps)
{
    for (int i = 0; i < std::abs(steps); ++i)
        scale(steps > 0 ? 1.25 : 0.8, steps > 0 ? 1.25 : 0.8);
    layoutTiles();
}

void MaterialView::resizeEvent(QResizeEvent *event)
{
    QGraphicsView::resizeEvent(event);
    layoutTiles();
}

void MaterialView::wheelEvent(QWheelEvent *event)
{
    QGraphicsView::wheelEvent(event);
    if (event->modifiers() & Qt::ControlModifier)
        emit sig_scaleChanged(event->angleDelta().y() > 0 ? 1 : -1);
}

void MaterialView::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Delete) {
        QMetaObject::invokeMethod(this, &MaterialView::slot_removeMaterials, Qt::QueuedConnection);
        return;
    }
    QGraphicsView::keyPressEvent(event);
}

void MaterialView::contextMenuEvent(QContextMenuEvent *event)
{
    auto *tile = dynamic_cast<MaterialItem *>(itemAt(event->pos()));
    if (!tile)
        return;
    QMenu menu(this);
    QAction *remove = menu.addAction(ZTR("res_form.Delete_1"));
    // A video's proxy is made or dropped on request.
    ProxyMaker *proxies = ProxyMaker::instance();
    QAction *proxy = nullptr;
    const QString path = tile->data().path;
    const bool video = tile->data().type == MT_Video && tile->data().draggable;
    if (proxies && video && ProxyStore::enabled())
        proxy = menu.addAction(proxies->progressOf(path) >= 0 ? ZTR("res_form.DropProxy")
                                                              : ZTR("res_form.MakeProxy"));
    QAction *chosen = menu.exec(event->globalPos());
    if (chosen == remove) {
        slot_removeMaterials();
    } else if (chosen && chosen == proxy && ProxyMaker::instance() == proxies) {
        if (proxies->progressOf(path) >= 0)
            proxies->drop(path);
        else
            proxies->request(path, ProxyMaker::Want::Always);
        tile->update();
    }
}

void MaterialView::slot_removeMaterials()
{
    QStringList uuids;
    for (QGraphicsItem *item : m_scene->selectedItems())
        if (auto *tile = dynamic_cast<MaterialItem *>(item))
            uuids << tile->data().uuid;
    if (uuids.isEmpty()) {
        MessageBox::inform(nullptr, ZKEY("res_form.Hint"), ZTR("res_form.AskChoose"),
                           ZKEY("res_form.Ok"));
        return;
    }
    MessageSpec ask;
    ask.titleKey = ZKEY("res_form.Hint");
    ask.text = ZTR("res_form.AskDelete").arg(uuids.size());
    ask.buttonKeys = QStringList{ZKEY("res_form.Ok"), ZKEY("res_form.Cancel")};
    ask.defaultButton = 0;
    ask.escapeButton = 1;
    if (MessageBox::show(ask) == 0)
        m_manager->RemoveMaterials(uuids);
}

void MaterialView::dragEnterEvent(QDragEnterEvent *event)
{
    carriesFiles(event->mimeData()) ? event->acceptProposedAction() : event->ignore();
}

void MaterialView::dragMoveEvent(QDragMoveEvent *event)
{
    carriesFiles(event->mimeData()) ? event->acceptProposedAction() : event->ignore();
}

void MaterialView::dropEvent(QDropEvent *event)
{
    if (!carriesFiles(event->mimeData()))
        return;
    event->acceptProposedAction();
    const DroppedFiles dropped = takeDroppedFiles(event->mimeData()->urls());
    if (!dropped.project.isEmpty())
        emit sig_openProject(dropped.project);
    else if (!dropped.files.isEmpty())
        m_manager->AddMaterialFiles(dropped.files, false);
}
