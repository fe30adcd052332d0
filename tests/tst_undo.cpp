// Undo history: an edit sequence opened inside another joins the outermost one, and a
// sequence left by an early return is closed (the timeline tests cover the rest
// through edits).
#include "undo/UndoController.h"
#include "undo/ZuObject.h"

#include <QUndoStack>
#include <QtTest>

using zua::UndoController;

namespace {

class Clip : public zua::ZuObject {};

QUndoStack *stack()
{
    return UndoController::instance()->stack();
}

} // namespace

class TestUndo : public QObject {
    Q_OBJECT
private slots:
    void init() { UndoController::instance()->reset(); }
    void cleanup() { UndoController::instance()->reset(); }

    void sequencesNestAndCloseOnEarlyReturn()
    {
        Clip clip;
        auto edit = [&](bool refuse) {
            zua::MergeSequence seq("splitSource");
            clip.setValue("a", bg::Value(int32_t(1)), true, true);
            if (refuse)
                return;
            {
                zua::MergeSequence inner("stretch"); // a helper's own sequence
                clip.setValue("b", bg::Value(int32_t(2)), true, true);
            }
            clip.setValue("c", bg::Value(int32_t(3)), true, true);
        };
        edit(true);
        QCOMPARE(UndoController::instance()->mergeDepth(), 0);
        edit(false);
        QCOMPARE(stack()->count(), 2);
        QCOMPARE(stack()->text(1), QString("splitSource"));
        UndoController::instance()->undo();
        QVERIFY(clip.hasValue("a") && !clip.hasValue("b") && !clip.hasValue("c"));
    }
};

QTEST_MAIN(TestUndo)
#include "tst_undo.moc"
