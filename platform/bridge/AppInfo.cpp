#include "AppInfo.h"

namespace bg {

AppInfo &AppInfo::instance()
{
    static AppInfo info;
    return info;
}

void AppInfo::setValue(const std::string &key, const Value &value)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_values[key] = value;
}

Value AppInfo::value(const std::string &key) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    auto it = m_values.find(key);
    return it == m_values.end() ? Value() : it->second;
}

#define BG_APPINFO_FIELD(setter, getter, member)                                                   \
    void AppInfo::setter(const std::string &v)                                                     \
    {                                                                                              \
        std::lock_guard<std::mutex> lock(m_mutex);                                                 \
        member = v;                                                                                \
    }                                                                                              \
    std::string AppInfo::getter() const                                                            \
    {                                                                                              \
        std::lock_guard<std::mutex> lock(m_mutex);                                                 \
        return member;                                                                             \
    }

BG_APPINFO_FIELD(setVersion, version, m_version)
BG_APPINFO_FIELD(setAppName, appName, m_appName)
BG_APPINFO_FIELD(setBuildDate, buildDate, m_buildDate)
BG_APPINFO_FIELD(setAppDir, appDir, m_appDir)

#undef BG_APPINFO_FIELD

} // namespace bg
