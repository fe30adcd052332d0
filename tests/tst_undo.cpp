// Undo history: a sequence left by an early return is closed (the timeline tests
// cover the rest through edits).
#include "undo/UndoController.h"
#include "undo/ZuObject.h"

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

    void sequenceClosesOnEarlyReturn()
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
};

QTEST_MAIN(TestUndo)
#include "tst_undo.moc"
