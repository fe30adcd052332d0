#include "MaterialObject.h"

#include "MaterialManager.h"

#include <QDir>
#include <QFileInfo>

MaterialObject::MaterialObject(MaterialManager *manager) : m_manager(manager)
{
    std::lock_guard<std::mutex> lock(manager->m_listMutex);
    manager->m_alive.insert(this);
}

MaterialObject::~MaterialObject()
{
    if (!m_manager)
        return;
    std::lock_guard<std::mutex> lock(m_manager->m_listMutex);
    m_manager->m_list.removeOne(this);
    m_manager->m_alive.remove(this);
}

void MaterialObject::onChange(int kind, const bg::Value &)
{
    if (!m_manager)
        return;
    std::lock_guard<std::mutex> lock(m_manager->m_listMutex);
    if (kind == zua::EV_ADDED) {
        if (!m_manager->m_list.contains(this))
            m_manager->m_list.append(this);
        attached = true;
        removed = false;
    } else if (kind == zua::EV_REMOVED && m_manager->m_list.contains(this)) {
        attached = false;
        removed = true;
    }
}

void MaterialObject::onUndo(int kind, const bg::Value &arg)
{
    if (kind == zua::EV_ADDED)
        onChange(zua::EV_REMOVED, arg);
    else if (kind == zua::EV_REMOVED)
        onChange(zua::EV_ADDED, arg);
}

QString MaterialObject::identityOf(const QString &path)
{
    const QFileInfo info(path);
    const QString canonical = info.canonicalFilePath();
    return canonical.isEmpty() ? QDir::cleanPath(info.absoluteFilePath()) : canonical;
}
