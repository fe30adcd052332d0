// Gestures in the preview picture: the selected then the topmost item is picked,
// moving snaps to the centre lines and edges, a gesture is one step, and the
// selection forgets removed items.
#include "common/ValueQt.h"
#include "preview/PreviewInteraction.h"
#include "render/RefCountedObject.h"
#include "render/compose/PreviewItem.h"
#include "support/MediaFixtures.h"
#include "timeline/ClassifyItem.h"
#include "timeline/SourceItem.h"
#include "timeline/TimeLineGraphicsScene.h"
#include "timeline/TimelineDocument.h"

#include "graphics/GsScene.h"
#include "undo/UndoController.h"

#include <QUndoStack>
#include <QtTest>

namespace {
class Plain : public PreviewItem {};
using Item = RefCountedObject<Plain>;

Item *makeItem(GsScene *scene, float x, float y, float w, float h, float rotation = 0)
{
    auto *item = new Item();
    item->MoveTo(x, y);
    item->Resize(w, h);
    item->SetRotation(rotation);
    item->visible = true;
    scene->AddItem(item);
    return item;
}
} // namespace

class TestPreviewInteraction : public QObject {
    Q_OBJECT
private slots:
    void init()
    {
        m_scene = new RefCountedObject<GsScene>(1920u, 1080u);
        m_scene->AddRef();
    }
    void cleanup() { m_scene->Release(); }
    void pressesPickTheSelectedThenTheTopmostItem()
    {
        // A full-screen video under a sticker that covers its centre.
        Item *video = makeItem(m_scene, 0, 0, 1920, 1080);
        Item *sticker = makeItem(m_scene, 100, 0, 200, 200);
        video->SetOrder(0);
        sticker->SetOrder(1);
        m_scene->OrderItem();
        PreviewInteraction ui(m_scene);
        QCOMPARE(ui.hitTest(QPointF(100, 0)), static_cast<PreviewItem *>(sticker));
        ui.press(QPointF(100, 0));
        ui.release();
        QCOMPARE(ui.selected(), static_cast<PreviewItem *>(sticker));

        // Dragging the selected sticker moves the sticker, not the video.
        ui.press(QPointF(150, 50));
        ui.move(QPointF(250, 50));
        ui.release();
        QCOMPARE(sticker->pos().x, 200.0f);
        QCOMPARE(video->pos().x, 0.0f);

        // With the video selected, a press inside it (under the sticker) keeps the video.
        ui.press(QPointF(-800, 400));
        ui.release();
        QCOMPARE(ui.selected(), static_cast<PreviewItem *>(video));
        ui.press(QPointF(200, 0));
        QCOMPARE(ui.selected(), static_cast<PreviewItem *>(video));
        ui.release();
    }
    void movingSnapsToLinesAndEdges()
    {
        Item *item = makeItem(m_scene, 300, 200, 200, 100);
        PreviewInteraction ui(m_scene);
        ui.setScale(0.5); // 10 view pixels are 20 scene units
        ui.press(QPointF(300, 200));
        QCOMPARE(ui.selected(), static_cast<PreviewItem *>(item));
        QVERIFY(item->selected);
        ui.move(QPointF(12, 250)); // centre at x 12: within 20 of the centre line
        QCOMPARE(item->pos().x, 0.0f);
        QCOMPARE(ui.snapX(), 0.0);
        QVERIFY(std::isnan(ui.snapY()));
        ui.move(QPointF(12 - 858, 250)); // left edge at -958: snaps to the picture's left edge
        QCOMPARE(item->pos().x - 100, -960.0f);
        QCOMPARE(ui.snapX(), -960.0);
        QVERIFY(ui.release());
        QVERIFY(std::isnan(ui.snapX()));
        // A press and release without a move changes nothing.
        ui.press(QPointF(item->pos().x, item->pos().y));
        QVERIFY(!ui.release());
    }
    void gestureIsCommittedAsOneStep()
    {
        QTemporaryDir dir;
        QVERIFY(fixtures::ffmpeg({"-f", "lavfi", "-i", "testsrc2=s=200x100", "-frames:v", "1",
                                  dir.filePath("logo.png")}));
        zua::UndoController::instance()->reset();
        TimelineDocument model;
        model.buildGroups();
        SourceItem *clip =
            model.createClip(model.group(CT_PICTURE), CT_PICTURE, dir.filePath("logo.png"), 0);
        QVERIFY(clip);
        Item *item = makeItem(m_scene, 0, 0, 200, 100);
        item->trackId = model.group(CT_PICTURE)->uuid;
        item->setClipId(clip->uuid);
        PreviewInteraction ui(m_scene);
        ui.press(QPointF(0, 0));
        ui.move(QPointF(150, 120));
        const int steps = zua::UndoController::instance()->stack()->count();
        if (ui.release()) {
            const ClipGeometry g = item->clipGeometry();
            model.slot_clipGeometryEdited(g.clip, g.rect, g.rotate);
        }
        QCOMPARE(zua::UndoController::instance()->stack()->count(), steps + 1);
        QCOMPARE(bg::ValueQt(clip->value("previewRect")).toRectF(), QRectF(150, 120, 200, 100));
        QCOMPARE(clip->previewRect, QRectF(150, 120, 200, 100));
        QCOMPARE(clip->value("rotate").toInt32(), 0);
        zua::UndoController::instance()->undo();
        QCOMPARE(clip->previewRect, QRectF(0, 0, 200, 100));
        model.slot_selectClip(item->clipId(), true);
        QVERIFY(clip->isSelected());
        model.clearAll();
        zua::UndoController::instance()->reset();
    }
    void selectionForgetsItemsThatLeftTheScene()
    {
        // A layer leaves with its track (deleted, or the project closed): the selection
        // neither returns it nor writes into it, and it lives until the selection lets go.
        Item *item = makeItem(m_scene, 0, 0, 200, 100);
        PreviewInteraction ui(m_scene);
        ui.press(QPointF(10, 10));
        ui.release();
        QCOMPARE(ui.selected(), static_cast<PreviewItem *>(item));
        m_scene->RemoveItem(item); // the scene's reference goes with it
        QVERIFY(!ui.selected());
        ui.press(QPointF(10, 10));
        ui.move(QPointF(60, 10));
        QVERIFY(!ui.release());
        QVERIFY(!ui.selected());
        QCOMPARE(m_scene->itemCount(), size_t(0));

        // A new scene replaces the old one: nothing of the old stays selected.
        Item *other = makeItem(m_scene, 0, 0, 200, 100);
        ui.press(QPointF(0, 0));
        QCOMPARE(ui.selected(), static_cast<PreviewItem *>(other));
        auto *next = new RefCountedObject<GsScene>(1280u, 720u);
        next->AddRef();
        ui.setScene(next);
        QVERIFY(!ui.selected());
        QVERIFY(!other->selected);
        next->Release();
    }

private:
    GsScene *m_scene = nullptr;
};

QTEST_MAIN(TestPreviewInteraction)

#include "tst_previewinteraction.moc"
