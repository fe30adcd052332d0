#include "UndoController.h"

#include <QUndoStack>

namespace zua {

UndoController *UndoController::instance()
{
    // Never destroyed: entries may own removed objects whose destructors must not
    // run after the application object is gone. ZuApp resets it before shutdown.
    static UndoController *controller = new UndoController;
    return controller;
}

UndoController::UndoController(QObject *parent) : QObject(parent), m_stack(new QUndoStack(this))
{
    connect(m_stack, &QUndoStack::canUndoChanged, this, &UndoController::sig_canUndo);
    connect(m_stack, &QUndoStack::canRedoChanged, this, &UndoController::sig_canRedo);
    connect(m_stack, &QUndoStack::cleanChanged, this, &UndoController::tellClean);
}

void UndoController::tellClean()
{
    const bool clean = isClean();
    if (clean == m_toldClean)
        return;
    m_toldClean = clean;
    emit sig_cleanChanged(clean);
}

void UndoController::push(QUndoCommand *command)
{
    if (m_depth > 0 && !m_macroOpen) {
        m_stack->beginMacro(m_pendingName);
        m_macroOpen = true;
    }
    m_stack->push(command);
}

void UndoController::beginMergeSequence(const QString &name)
{
    if (m_depth++ == 0)
        m_pendingName = name;
}

void UndoController::endMergeSequence()
{
    if (m_depth == 0)
        return;
    if (--m_depth == 0)
        closeMacro();
}

void UndoController::closeMacro()
{
    if (m_macroOpen) {
        m_stack->endMacro();
        m_macroOpen = false;
    }
}

void UndoController::reset()
{
    closeMacro();
    m_depth = 0;
    m_stack->clear();
    m_unrecordedChange = false;
    tellClean();
}

void UndoController::setClean()
{
    if (!m_macroOpen) {
        m_stack->setClean();
        m_unrecordedChange = false;
        tellClean();
    }
}

bool UndoController::isClean() const
{
    return m_stack->isClean() && !m_unrecordedChange;
}

bool UndoController::canUndo() const
{
    return m_stack->canUndo();
}

bool UndoController::canRedo() const
{
    return m_stack->canRedo();
}

bool UndoController::undo()
{
    if (!m_stack->canUndo())
        return false;
    m_stack->undo();
    return true;
}

bool UndoController::redo()
{
    if (!m_stack->canRedo())
        return false;
    m_stack->redo();
    return true;
}

} // namespace zua
