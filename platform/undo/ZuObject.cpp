#include "ZuObject.h"

#include "UndoController.h"

#include <QUndoCommand>

#include <algorithm>
#include <chrono>
#include <memory>

namespace zua {

// One recorded property change.
class ValueCommand : public QUndoCommand {
public:
    ValueCommand(ZuObject *object, const std::string &key, const bg::Value *oldValue,
                 const bg::Value &newValue, bool typed = false)
        : QUndoCommand(QString::fromStdString(key)), m_object(object), m_key(key),
          m_hadOld(oldValue != nullptr), m_old(oldValue ? *oldValue : bg::Value()), m_new(newValue),
          m_typed(typed), m_at(UndoController::instance()->now())
    {}

    // Typed text joins the step before it while the user types on: the same text,
    // within a second of the last key, and not the first letter of a new word.
    int id() const override { return m_typed ? 1 : -1; }
    bool mergeWith(const QUndoCommand *other) override
    {
        const auto *next = static_cast<const ValueCommand *>(other);
        if (next->m_object != m_object || next->m_key != m_key ||
            next->m_at - m_at > std::chrono::seconds(1))
            return false;
        // A new word: this step typed one already and ended with a space, and the
        // next key is a letter.
        const QString old = QString::fromStdString(m_old.toStdString());
        const QString before = QString::fromStdString(m_new.toStdString());
        const QString after = QString::fromStdString(next->m_new.toStdString());
        auto letters = [](const QString &text) {
            return std::count_if(text.begin(), text.end(), [](QChar c) { return !c.isSpace(); });
        };
        if (after.size() > before.size() && !before.isEmpty() && before.back().isSpace() &&
            !after.back().isSpace() && letters(before) > letters(old))
            return false;
        m_new = next->m_new;
        m_at = next->m_at;
        return true;
    }

    void redo() override
    {
        // The first redo is the push itself: the caller already stored the value.
        if (m_firstRedo) {
            m_firstRedo = false;
            return;
        }
        m_object->storeRaw(m_key, &m_new);
        m_object->onChange(EV_CHANGED, bg::Value(m_key));
    }

    void undo() override
    {
        m_object->storeRaw(m_key, m_hadOld ? &m_old : nullptr);
        m_object->onUndo(EV_CHANGED, bg::Value(m_key));
    }

private:
    ZuObject *m_object;
    std::string m_key;
    bool m_hadOld;
    bg::Value m_old;
    bg::Value m_new;
    bool m_typed;
    std::chrono::steady_clock::time_point m_at; // of the latest change it holds
    bool m_firstRedo = true;
};

namespace {

// A recorded addition (removal = false) or removal (removal = true). Whichever entry
// holds the object in its removed state owns it and deletes it when discarded.
class PresenceCommand : public QUndoCommand {
public:
    PresenceCommand(ZuObject *object, const bg::Value &argument, bool removal)
        : QUndoCommand(removal ? QStringLiteral("remove") : QStringLiteral("add")),
          m_object(object), m_argument(argument), m_removal(removal)
    {}

    ~PresenceCommand() override
    {
        const bool objectRemoved = m_removal ? m_done : !m_done;
        if (objectRemoved)
            delete m_object;
    }

    void redo() override
    {
        m_done = true;
        m_object->onChange(m_removal ? EV_REMOVED : EV_ADDED, m_argument);
        UndoController::instance()->noteChange();
    }

    void undo() override
    {
        m_done = false;
        m_object->onUndo(m_removal ? EV_REMOVED : EV_ADDED, m_argument);
        UndoController::instance()->noteChange();
    }

private:
    ZuObject *m_object;
    bg::Value m_argument;
    bool m_removal;
    bool m_done = false;
};

} // namespace

ZuObject::~ZuObject() = default;

void ZuObject::onChange(int, const bg::Value &) {}

void ZuObject::onUndo(int kind, const bg::Value &arg)
{
    switch (kind) {
    case EV_ADDED:
        onChange(EV_REMOVED, arg);
        break;
    case EV_REMOVED:
        onChange(EV_ADDED, arg);
        break;
    default:
        onChange(kind, arg);
        break;
    }
}

void ZuObject::storeRaw(const std::string &key, const bg::Value *value)
{
    if (value)
        m_values[key] = *value;
    else
        m_values.erase(key);
    UndoController::instance()->noteChange();
}

void ZuObject::setTypedText(const std::string &key, const bg::Value &value)
{
    setValue(key, value, Record::Typed, true);
}

void ZuObject::setValue(const std::string &key, const bg::Value &value, bool record, bool notify)
{
    setValue(key, value, record ? Record::Step : Record::None, notify);
}

void ZuObject::setValue(const std::string &key, const bg::Value &value, Record record, bool notify)
{
    if (record != Record::None) {
        auto it = m_values.find(key);
        auto *command = new ValueCommand(this, key, it == m_values.end() ? nullptr : &it->second,
                                         value, record == Record::Typed);
        m_values[key] = value;
        UndoController::instance()->push(command);
    } else {
        m_values[key] = value;
    }
    if (notify)
        onChange(EV_CHANGED, bg::Value(key));
    UndoController::instance()->noteChange();
}

bg::Value ZuObject::value(const std::string &key, const bg::Value &def) const
{
    auto it = m_values.find(key);
    return it == m_values.end() ? def : it->second;
}

bool ZuObject::hasValue(const std::string &key) const
{
    return m_values.count(key) != 0;
}

void ZuObject::AddObject_canUndo(ZuObject *object, const bg::Value &argument)
{
    if (object)
        UndoController::instance()->push(new PresenceCommand(object, argument, false));
}

void ZuObject::DelObject_canUndo(ZuObject *object, const bg::Value &argument)
{
    if (object)
        UndoController::instance()->push(new PresenceCommand(object, argument, true));
}

} // namespace zua
