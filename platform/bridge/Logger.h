#pragma once
// Line logger: every line goes to the current log file and to standard error
// (debug lines to the toolkit's debug output instead).
// Lives on: any thread; all calls are serialised by an internal mutex.

#include <atomic>
#include <cstdarg>
#include <mutex>
#include <string>

namespace bg {

enum LogLevel { LOG_ERROR = 2, LOG_WARNING = 3, LOG_DEBUG = 5 };

class Logger {
public:
    static Logger &instance();

    // One call per line; `format` carries the whole line including its time stamp,
    // file and line fields (see the BG_LOG_* macros).
    void log(int level, const char *tag, const char *format, ...)
        __attribute__((format(printf, 4, 5)));
    void vlog(int level, const char *tag, const char *format, va_list args);

    // Lines of a level above `level` are dropped (a fuzzer keeps only errors).
    void setMaxLevel(int level) { m_maxLevel.store(level, std::memory_order_relaxed); }
    int maxLevel() const { return m_maxLevel.load(std::memory_order_relaxed); }

    // Path of the file lines are appended to; created on first use.
    std::string logFilePath();
    // Redirects later lines to another file (the folder is created if needed).
    void setLogFilePath(const std::string &path);

private:
    Logger() = default;
    ~Logger();
    bool openLocked();

    std::mutex m_mutex;
    std::atomic<int> m_maxLevel{LOG_DEBUG};
    std::string m_path;
    std::FILE *m_file = nullptr;
};

// Current time as "%m%d-%H:%M:%S".
std::string logTimeStamp();
// Text after the last '/' or '\' of a source path.
const char *sourceBaseName(const char *path);

} // namespace bg

#define BG_LOG_AT(level, letter, fmt, ...)                                                         \
    ::bg::Logger::instance().log(level, "bg", "%s[" letter "][bg] %s %-4d: \"" fmt "\"\n",         \
                                 ::bg::logTimeStamp().c_str(), ::bg::sourceBaseName(__FILE__),     \
                                 __LINE__, ##__VA_ARGS__)
#define BG_LOG_E(fmt, ...) BG_LOG_AT(::bg::LOG_ERROR, "E", fmt, ##__VA_ARGS__)
#define BG_LOG_W(fmt, ...) BG_LOG_AT(::bg::LOG_WARNING, "W", fmt, ##__VA_ARGS__)
#define BG_LOG_D(fmt, ...) BG_LOG_AT(::bg::LOG_DEBUG, "D", fmt, ##__VA_ARGS__)
