#pragma once
// User settings store: text values under fixed keys, kept in an INI file in the
// user's configuration folder (XDG_CONFIG_HOME/ZuAEdit/ZuAEdit.ini on Linux).
// Lives on: any thread; guarded by an internal mutex.

#include <memory>
#include <mutex>
#include <string>
#include <vector>

class QSettings;

namespace bg {

class UserSettings {
public:
    static UserSettings &instance();

    std::string get(const std::string &key, const std::string &def = std::string()) const;
    bool contains(const std::string &key) const;
    void set(const std::string &key, const std::string &value);
    void remove(const std::string &key);
    // The keys below `group` ("group/key"), without the group, as another process
    // that shares the file last saved them.
    std::vector<std::string> keysUnder(const std::string &group);
    // Writes pending changes to disk; false when the file cannot be written.
    bool save();
    // Forgets every key (persisted by the next save).
    void clear();
    std::string filePath() const;

private:
    UserSettings();
    ~UserSettings();
    mutable std::mutex m_mutex;
    std::unique_ptr<QSettings> m_settings;
};

} // namespace bg
