#pragma once
// Application information: keyed values plus the version, name and build date.
// Lives on: any thread; guarded by an internal mutex.

#include "Value.h"

#include <mutex>
#include <string>

namespace bg {

class AppInfo {
public:
    static AppInfo &instance();

    void setValue(const std::string &key, const Value &value);
    Value value(const std::string &key) const;

    void setVersion(const std::string &version);
    void setAppName(const std::string &name);
    void setBuildDate(const std::string &date);
    std::string version() const;
    std::string appName() const;
    std::string buildDate() const;
    // Folder of the running executable (empty before the bridge is started).
    std::string appDir() const;
    void setAppDir(const std::string &dir);

private:
    AppInfo() = default;
    mutable std::mutex m_mutex;
    ValueMap m_values;
    std::string m_version, m_appName, m_buildDate, m_appDir;
};

} // namespace bg
