#pragma once
// Small system services: sleeping, clocks, time formatting, the desktop's file
// manager and shell, and the crash-dump file prefix.
// Lives on: any thread; every call is thread-safe.

#include <cstdint>
#include <string>

namespace bg {

class SystemServices {
public:
    static void sleepMs(int64_t milliseconds);
    // Monotonic clock in microseconds (arbitrary origin).
    static int64_t monotonicMicros();
    // The current local time formatted with a strftime pattern.
    static std::string formatNow(const char *pattern);
    // Shows a file selected in the desktop's file manager (or its folder when
    // the file manager cannot select). False when nothing could be started.
    static bool revealInFileManager(const std::string &path);
    // Opens a file, folder or URL with the desktop's default handler.
    static bool openPath(const std::string &path);
    // Path prefix for crash-dump files: temporary folder + application name,
    // version and time stamp, without extension.
    static std::string dumpFilePrefix();
    // Lowers the calling thread's scheduling priority to the least (background
    // work that must not take time from playback); threads it starts inherit it.
    static void lowerThreadPriority();
    // Hands memory the allocator keeps free (after a large piece of work such as an
    // export, whose threads each filled pools of their own) back to the system.
    static void releaseFreeMemory();
};

} // namespace bg
