#pragma once
// Base of every undoable project object: properties in a bg::ValueMap, a change
// hook and an undo hook, and undoable addition and removal.
// Lives on: main thread (every call that records history comes from there).

#include "bridge/Value.h"

#include <string>

namespace zua {

// Event kinds passed to the hooks.
enum EventKind { EV_ADDED = 1, EV_REMOVED = 2, EV_CHANGED = 3 };

class ZuObject {
public:
    ZuObject() = default;
    ZuObject(const ZuObject &) = delete;
    ZuObject &operator=(const ZuObject &) = delete;
    virtual ~ZuObject();

    // Change hook: `kind` is an EventKind; `arg` is the owner for additions and
    // removals and the property key (a string) for value changes. A value-change
    // hook should apply the stored value (read it with value()), so that running it
    // again for a change the caller already applied has no further effect.
    virtual void onChange(int kind, const bg::Value &arg);
    // Undo hook, called when an event is undone. By default it runs the change hook
    // with the opposite kind: undoing an addition removes, undoing a removal re-adds.
    virtual void onUndo(int kind, const bg::Value &arg);

    // Stores a property. With `record` the change becomes an undo entry (joining an
    // open merge sequence); with `notify` the change hook runs now with EV_CHANGED.
    // Undo and redo restore the old or new value and always run the hooks.
    void setValue(const std::string &key, const bg::Value &value, bool record = true,
                  bool notify = true);
    // Stores text as the user types it, recorded and notified: keys typed within a
    // second of each other are one undo step, and a new word starts a new one.
    void setTypedText(const std::string &key, const bg::Value &value);
    bg::Value value(const std::string &key, const bg::Value &def = bg::Value()) const;
    bool hasValue(const std::string &key) const;
    const bg::ValueMap &values() const { return m_values; }

    // Performs the addition (change hook, EV_ADDED) and records it. While the
    // addition is undone and still in the history, the history owns the object.
    static void AddObject_canUndo(ZuObject *object, const bg::Value &argument);
    // Performs the removal (change hook, EV_REMOVED) and records it; the removed
    // object is owned by the history and deleted when the entry is discarded.
    static void DelObject_canUndo(ZuObject *object, const bg::Value &argument);

private:
    friend class ValueCommand;
    enum class Record { None, Step, Typed };
    void setValue(const std::string &key, const bg::Value &value, Record record, bool notify);
    void storeRaw(const std::string &key, const bg::Value *value);

    bg::ValueMap m_values;
};

} // namespace zua
