// Undo history mechanics the timeline tests do not reach: nested and empty
// sequences, a sequence left by an early return, the clean state, and ownership of
// removed objects.
#include "undo/UndoController.h"
#include "undo/ZuObject.h"

#include <QSignalSpy>
#include <QUndoStack>
#include <QtTest>

#include <set>
#include <vector>

using zua::UndoController;
using zua::ZuObject;

namespace {

// A container of clips, the way a track owns its items: the change hook attaches
// or detaches the object and keeps a journal of every hook call.
struct Track;
std::set<const ZuObject *> g_alive;

class Clip : public ZuObject {
public:
    explicit Clip(std::vector<std::string> *journal) : m_journal(journal) { g_alive.insert(this); }
    ~Clip() override { g_alive.erase(this); }

    void onChange(int kind, const bg::Value &arg) override;
    int applied(const std::string &key) const
    {
        auto it = m_applied.find(key);
        return it == m_applied.end() ? 0 : it->second;
    }

    std::vector<std::string> *m_journal;
    std::map<std::string, int> m_applied; // last applied value per key
};

struct Track {
    std::vector<Clip *> clips;
    bool contains(Clip *c) const { return std::find(clips.begin(), clips.end(), c) != clips.end(); }
};

void Clip::onChange(int kind, const bg::Value &arg)
{
    auto *track = static_cast<Track *>(arg.toPointer());
    switch (kind) {
    case zua::EV_ADDED:
        track->clips.push_back(this);
        m_journal->push_back("add");
        break;
    case zua::EV_REMOVED:
        track->clips.erase(std::find(track->clips.begin(), track->clips.end(), this));
        m_journal->push_back("remove");
        break;
    case zua::EV_CHANGED: {
        const std::string key = arg.toStdString();
        m_applied[key] = value(key).toInt32();
        m_journal->push_back("change " + key);
        break;
    }
    }
}

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

    void hooksRunOncePerEvent();
    void nestedSequencesJoinTheOutermost();
    void emptySequenceLeavesNoEntry();
    void sequenceClosesOnEarlyReturn();
    void cleanStateFollowsSaves();
    void removedObjectsAreFreedWithTheirEntries();
};

void TestUndo::hooksRunOncePerEvent()
{
    std::vector<std::string> journal;
    Clip clip(&journal);
    clip.setValue("x", bg::Value(int32_t(1)), true, true);
    QCOMPARE(journal, std::vector<std::string>({"change x"}));
    clip.setValue("x", bg::Value(int32_t(2)), true, false);
    QCOMPARE(journal.size(), size_t(1)); // no notify, no hook at the call
    UndoController::instance()->undo();
    UndoController::instance()->redo();
    QCOMPARE(journal, std::vector<std::string>({"change x", "change x", "change x"}));
}

void TestUndo::nestedSequencesJoinTheOutermost()
{
    std::vector<std::string> journal;
    Clip clip(&journal);
    UndoController::instance()->beginMergeSequence("SourceMove");
    clip.setValue("x", bg::Value(int32_t(1)), true, true);
    UndoController::instance()->beginMergeSequence("stretch");
    clip.setValue("y", bg::Value(int32_t(2)), true, true);
    UndoController::instance()->endMergeSequence();
    clip.setValue("z", bg::Value(int32_t(3)), true, true);
    UndoController::instance()->endMergeSequence();
    UndoController::instance()->endMergeSequence(); // an extra end is harmless

    QCOMPARE(stack()->count(), 1);
    QCOMPARE(stack()->text(0), QString("SourceMove"));
    QCOMPARE(UndoController::instance()->mergeDepth(), 0);
    UndoController::instance()->undo();
    QVERIFY(!clip.hasValue("x") && !clip.hasValue("y") && !clip.hasValue("z"));
}

void TestUndo::emptySequenceLeavesNoEntry()
{
    QSignalSpy canUndo(UndoController::instance(), &UndoController::sig_canUndo);
    UndoController::instance()->beginMergeSequence("Del");
    UndoController::instance()->endMergeSequence();
    QCOMPARE(stack()->count(), 0);
    QVERIFY(UndoController::instance()->isClean());
    QCOMPARE(canUndo.count(), 0);
}

void TestUndo::sequenceClosesOnEarlyReturn()
{
    std::vector<std::string> journal;
    Clip clip(&journal);
    auto edit = [&](bool refuse) {
        zua::MergeSequence seq("splitSource");
        clip.setValue("a", bg::Value(int32_t(1)), true, true);
        if (refuse)
            return;
        clip.setValue("b", bg::Value(int32_t(2)), true, true);
    };
    edit(true);
    QCOMPARE(UndoController::instance()->mergeDepth(), 0);
    edit(false);
    QCOMPARE(stack()->count(), 2);
    UndoController::instance()->undo();
    QVERIFY(clip.hasValue("a") && !clip.hasValue("b"));
}

void TestUndo::cleanStateFollowsSaves()
{
    std::vector<std::string> journal;
    Clip clip(&journal);
    QVERIFY(UndoController::instance()->isClean());
    clip.setValue("x", bg::Value(int32_t(1)), true, true);
    QVERIFY(!UndoController::instance()->isClean());
    UndoController::instance()->setClean();
    QVERIFY(UndoController::instance()->isClean());
    clip.setValue("x", bg::Value(int32_t(2)), true, true);
    QVERIFY(!UndoController::instance()->isClean());
    UndoController::instance()->undo();
    QVERIFY(UndoController::instance()->isClean());
    UndoController::instance()->undo();
    QVERIFY(!UndoController::instance()->isClean());
    UndoController::instance()->reset();
    QVERIFY(UndoController::instance()->isClean());
    QVERIFY(!UndoController::instance()->canUndo());
}

void TestUndo::removedObjectsAreFreedWithTheirEntries()
{
    std::vector<std::string> journal;
    Track track;
    const bg::Value owner(static_cast<void *>(&track));

    // Removed and then discarded by a reset.
    auto *removed = new Clip(&journal);
    ZuObject::AddObject_canUndo(removed, owner);
    ZuObject::DelObject_canUndo(removed, owner);
    UndoController::instance()->reset();
    QVERIFY(!g_alive.count(removed));

    // An undone addition is discarded when a new edit truncates the redo branch.
    auto *undoneAdd = new Clip(&journal);
    ZuObject::AddObject_canUndo(undoneAdd, owner);
    UndoController::instance()->undo();
    QVERIFY(g_alive.count(undoneAdd));
    Clip other(&journal);
    other.setValue("x", bg::Value(int32_t(1)), true, true);
    QVERIFY(!g_alive.count(undoneAdd));

    // An undone removal leaves the object present and owned by its track.
    auto *restored = new Clip(&journal);
    ZuObject::AddObject_canUndo(restored, owner);
    ZuObject::DelObject_canUndo(restored, owner);
    UndoController::instance()->undo();
    UndoController::instance()->reset();
    QVERIFY(g_alive.count(restored));
    QVERIFY(track.contains(restored));
    delete restored;
}

QTEST_MAIN(TestUndo)
#include "tst_undo.moc"
