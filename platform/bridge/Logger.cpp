#include "Logger.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QtGlobal>

#include <cstdio>
#include <cstring>
#include <ctime>

namespace bg {

Logger &Logger::instance()
{
    static Logger logger;
    return logger;
}

Logger::~Logger()
{
    if (m_file)
        std::fclose(m_file);
}

bool Logger::openLocked()
{
    if (m_file)
        return true;
    if (m_path.empty()) {
        const QString dir =
            QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + "/ZuAEdit/log";
        m_path = (dir + "/zua-" + QDate::currentDate().toString("yyyyMMdd") + ".log").toStdString();
    }
    QDir().mkpath(QFileInfo(QString::fromStdString(m_path)).absolutePath());
    m_file = std::fopen(m_path.c_str(), "a");
    return m_file != nullptr;
}

void Logger::log(int level, const char *tag, const char *format, ...)
{
    va_list args;
    va_start(args, format);
    vlog(level, tag, format, args);
    va_end(args);
}

void Logger::vlog(int level, const char *tag, const char *format, va_list args)
{
    (void)tag;
    if (level > maxLevel())
        return;
    char stackBuf[1024];
    va_list copy;
    va_copy(copy, args);
    const int n = std::vsnprintf(stackBuf, sizeof stackBuf, format, copy);
    va_end(copy);
    if (n < 0)
        return;
    std::string line;
    if (size_t(n) < sizeof stackBuf) {
        line.assign(stackBuf, size_t(n));
    } else {
        line.resize(size_t(n) + 1);
        std::vsnprintf(&line[0], line.size(), format, args);
        line.resize(size_t(n));
    }

    std::lock_guard<std::mutex> lock(m_mutex);
    if (openLocked()) {
        std::fwrite(line.data(), 1, line.size(), m_file);
        std::fflush(m_file);
    }
    if (level >= LOG_DEBUG) {
        std::string trimmed = line;
        if (!trimmed.empty() && trimmed.back() == '\n')
            trimmed.pop_back();
        qDebug("%s", trimmed.c_str());
    } else {
        std::fwrite(line.data(), 1, line.size(), stderr);
    }
}

std::string Logger::logFilePath()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    openLocked();
    return m_path;
}

void Logger::setLogFilePath(const std::string &path)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_file)
        std::fclose(m_file);
    m_file = nullptr;
    m_path = path;
}

std::string logTimeStamp()
{
    char buf[32];
    const std::time_t now = std::time(nullptr);
    std::tm tm{};
    localtime_r(&now, &tm);
    std::strftime(buf, sizeof buf, "%m%d-%H:%M:%S", &tm);
    return buf;
}

const char *sourceBaseName(const char *path)
{
    const char *base = path;
    for (const char *p = path; *p; ++p)
        if (*p == '/' || *p == '\\')
            base = p + 1;
    return base;
}

} // namespace bg
