#include "UserSettings.h"

#include <QSettings>
#include <QStandardPaths>

namespace bg {

UserSettings &UserSettings::instance()
{
    static UserSettings settings;
    return settings;
}

UserSettings::UserSettings()
{
    const QString path = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
                         "/ZuAEdit/ZuAEdit.ini";
    m_settings = std::make_unique<QSettings>(path, QSettings::IniFormat);
    m_settings->setIniCodec("UTF-8");
}

UserSettings::~UserSettings() = default;

std::string UserSettings::get(const std::string &key, const std::string &def) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    const QVariant v = m_settings->value(QString::fromStdString(key));
    return v.isValid() ? v.toString().toStdString() : def;
}

bool UserSettings::contains(const std::string &key) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_settings->contains(QString::fromStdString(key));
}

void UserSettings::set(const std::string &key, const std::string &value)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_settings->setValue(QString::fromStdString(key), QString::fromStdString(value));
}

void UserSettings::remove(const std::string &key)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_settings->remove(QString::fromStdString(key));
}

std::vector<std::string> UserSettings::keysUnder(const std::string &group)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_settings->sync(); // what other editors of this user wrote meanwhile
    m_settings->beginGroup(QString::fromStdString(group));
    std::vector<std::string> keys;
    for (const QString &key : m_settings->childKeys())
        keys.push_back(key.toStdString());
    m_settings->endGroup();
    return keys;
}

bool UserSettings::save()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_settings->sync();
    return m_settings->status() == QSettings::NoError;
}

void UserSettings::clear()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_settings->clear();
}

std::string UserSettings::filePath() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_settings->fileName().toStdString();
}

} // namespace bg
