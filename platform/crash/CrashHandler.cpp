#include "CrashHandler.h"

#include <elfutils/libdwfl.h>

#include <cxxabi.h>
#include <execinfo.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <iterator>

namespace zua::crash {

namespace {

constexpr int kSignals[] = {SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGABRT};
// The process is gone this long after the signal, whatever happens (SIGALRM's
// default action ends it); the helper gets most of it.
constexpr unsigned kDeadlineSeconds = 10;
constexpr int kHelperWaitMs = 8000;

// Everything the handler needs is prepared at install time: it only formats into
// these buffers and calls functions that are safe in a signal handler (no malloc,
// no locks, no fork: a crash inside the allocator holds its lock).
char g_folder[1024];
char g_prefix[128];
char g_helper[1024];
long g_utcOffset = 0; // seconds east of UTC when installed, for the dump's name
char g_environment[32 * 1024];
char *g_helperEnvironment[512];
std::atomic<int> g_handling{0};
std::atomic<int> g_headWritten{0}; // the dump's first line and the marker are out
std::atomic<int> g_dumpDone{0};    // the dump is complete under its name
std::atomic<pid_t> g_handlingThread{0};

void put(int fd, const char *text)
{
    size_t left = std::strlen(text);
    while (left > 0) {
        const ssize_t n = ::write(fd, text, left);
        if (n <= 0 && errno != EINTR)
            return;
        if (n > 0) {
            text += n;
            left -= size_t(n);
        }
    }
}

// Appends to a fixed buffer, cutting what does not fit.
struct Text {
    char *at;
    char *end;
    Text(char *buffer, size_t size) : at(buffer), end(buffer + size - 1) { *at = 0; }
    Text &operator<<(const char *text)
    {
        while (*text && at < end)
            *at++ = *text++;
        *at = 0;
        return *this;
    }
    Text &number(unsigned long long value, int width = 0, int base = 10)
    {
        char digits[32];
        int n = 0;
        do {
            digits[n++] = "0123456789abcdef"[value % unsigned(base)];
            value /= unsigned(base);
        } while (value && n < 32);
        while (n < width && n < 32)
            digits[n++] = '0';
        while (n > 0 && at < end)
            *at++ = digits[--n];
        *at = 0;
        return *this;
    }
};

// Year, month and day of a count of days since 1970-01-01 (proleptic Gregorian).
void civilFromDays(long long days, long long *year, unsigned *month, unsigned *day)
{
    days += 719468;
    const long long era = (days >= 0 ? days : days - 146096) / 146097;
    const unsigned dayOfEra = unsigned(days - era * 146097);
    const unsigned yearOfEra =
        (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const unsigned dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const unsigned shifted = (5 * dayOfYear + 2) / 153;
    *day = dayOfYear - (153 * shifted + 2) / 5 + 1;
    *month = shifted < 10 ? shifted + 3 : shifted - 9;
    *year = yearOfEra + era * 400 + (*month <= 2);
}

// <folder>/<prefix>_YYYYMMDD_hhmmss.dmp for local seconds `t`, without the C
// library's time functions (they take locks).
void dumpPath(char *out, size_t size, const char *folder, const char *prefix, long long t)
{
    const long long days = (t >= 0 ? t : t - 86399) / 86400;
    const long long seconds = t - days * 86400;
    long long year = 0;
    unsigned month = 0, day = 0;
    civilFromDays(days, &year, &month, &day);
    Text text(out, size);
    text << folder << "/" << prefix << "_";
    text.number(unsigned(year), 4).number(month, 2).number(day, 2) << "_";
    text.number(unsigned(seconds / 3600), 2).number(unsigned(seconds / 60 % 60), 2);
    text.number(unsigned(seconds % 60), 2) << ".dmp";
}

const char *signalName(int sig)
{
    switch (sig) {
    case SIGSEGV:
        return "SIGSEGV (invalid memory access)";
    case SIGBUS:
        return "SIGBUS (bus error)";
    case SIGILL:
        return "SIGILL (illegal instruction)";
    case SIGFPE:
        return "SIGFPE (arithmetic error)";
    case SIGABRT:
        return "SIGABRT (aborted)";
    default:
        return "signal";
    }
}

// Runs the helper on this process and waits for it, a limited time. vfork and
// execve: nothing of this process is copied and no fork handler runs.
bool runHelper(int fd)
{
    if (!g_helper[0])
        return false;
    static char pid[24], out[24];
    Text(pid, sizeof pid).number(unsigned(::getpid()));
    Text(out, sizeof out).number(unsigned(fd));
    static char *argv[4];
    argv[0] = g_helper;
    argv[1] = pid;
    argv[2] = out;
    argv[3] = nullptr;
    const pid_t child = ::vfork();
    if (child < 0)
        return false;
    if (child == 0) {
        sigset_t none;
        sigemptyset(&none);
        ::sigprocmask(SIG_SETMASK, &none, nullptr);
        ::execve(g_helper, argv, g_helperEnvironment);
        ::_exit(127);
    }
    // Only the helper may attach, and only now (the system may allow parents only).
    ::prctl(PR_SET_PTRACER, child, 0, 0, 0);
    bool ok = false;
    int waited = 0;
    for (; waited < kHelperWaitMs; waited += 10) {
        int status = 0;
        const pid_t done = ::waitpid(child, &status, WNOHANG);
        if (done == child) {
            ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
            break;
        }
        if (done < 0 && errno != EINTR)
            break;
        const timespec ten{0, 10 * 1000 * 1000};
        ::nanosleep(&ten, nullptr);
    }
    if (waited >= kHelperWaitMs) {
        ::kill(child, SIGKILL);
        ::waitpid(child, nullptr, 0);
    }
    ::prctl(PR_SET_PTRACER, 0, 0, 0, 0);
    return ok;
}

void onSignal(int sig, siginfo_t *info, void *)
{
    if (g_handling.exchange(1)) {
        // Another thread crashed while the dump is written: it waits for the dump to
        // be complete (the first thread ends the process then, or its deadline does).
        // The writing thread itself crashing again ends the process at once, with
        // what is there (its own stack is written first).
        const bool writer = g_handlingThread.load() == ::gettid();
        for (int waited = 0; !writer && !g_dumpDone && waited < int(kDeadlineSeconds) * 1000 + 500;
             ++waited) {
            const timespec ms{0, 1000 * 1000};
            ::nanosleep(&ms, nullptr);
        }
        ::signal(sig, SIG_DFL);
        sigset_t only;
        sigemptyset(&only);
        sigaddset(&only, sig);
        ::pthread_sigmask(SIG_UNBLOCK, &only, nullptr);
        ::raise(sig);
        ::_exit(128 + sig);
    }
    g_handlingThread = ::gettid();
    ::signal(SIGALRM, SIG_DFL);
    ::alarm(kDeadlineSeconds);
    static char path[1400], part[1410], marker[1410];
    dumpPath(path, sizeof path, g_folder, g_prefix, (long long)::time(nullptr) + g_utcOffset);
    Text(part, sizeof part) << path << ".part";
    Text(marker, sizeof marker) << path << ".pending";
    // The first line and the marker before anything slow: whatever happens next,
    // the next start finds the dump.
    const int fd = ::open(part, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd >= 0) {
        static char head[256];
        Text text(head, sizeof head);
        text << signalName(sig) << " at address 0x";
        text.number((unsigned long long)(uintptr_t)(info ? info->si_addr : nullptr), 0, 16);
        text << " in thread ";
        text.number(unsigned(::gettid())) << " of process ";
        text.number(unsigned(::getpid())) << "\n\n";
        put(fd, head);
        // The crashing thread's own stack (addresses and dynamic symbols) before the
        // helper runs: whatever happens to it, the dump holds where the crash was.
        put(fd, "Crashing thread:\n");
        void *frames[64];
        const int n = ::backtrace(frames, 64);
        ::backtrace_symbols_fd(frames, n, fd);
        put(fd, "\n");
        ::fsync(fd);
        ::rename(part, path);
    }
    const int m = ::open(marker, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (m >= 0)
        ::close(m);
    g_headWritten = 1;
    if (fd >= 0) {
        // The helper gets the descriptor open across exec and adds every thread.
        const int inherited = ::fcntl(fd, F_DUPFD, 3);
        if (inherited < 0 || !runHelper(inherited))
            put(fd, "(every thread could not be read; the crashing thread only, above)\n");
        if (inherited >= 0)
            ::close(inherited);
        ::fsync(fd);
        ::close(fd);
    }
    g_dumpDone = 1;
    put(2, "I'm so sorry, but the program crashed.\ndump file : ");
    put(2, path);
    put(2, "\n");
    ::signal(sig, SIG_DFL);
    ::raise(sig);
}

// The helper's environment: this one without the debug-information servers, so
// that symbols come from local files only and nothing leaves the machine.
void prepareHelperEnvironment()
{
    size_t used = 0, count = 0;
    for (char **e = environ; e && *e && count + 1 < std::size(g_helperEnvironment); ++e) {
        if (std::strncmp(*e, "DEBUGINFOD_", 11) == 0)
            continue;
        const size_t length = std::strlen(*e) + 1;
        if (used + length > sizeof g_environment)
            break;
        std::memcpy(g_environment + used, *e, length);
        g_helperEnvironment[count++] = g_environment + used;
        used += length;
    }
    g_helperEnvironment[count] = nullptr;
}

struct Frames {
    int fd;
    Dwfl *dwfl;
    int index = 0;
};

int onFrame(Dwfl_Frame *frame, void *arg)
{
    auto *f = static_cast<Frames *>(arg);
    Dwarf_Addr pc = 0;
    bool activation = false;
    if (!dwfl_frame_pc(frame, &pc, &activation))
        return DWARF_CB_ABORT;
    const Dwarf_Addr at = activation ? pc : pc - 1; // inside the call, not after it
    Dwfl_Module *module = dwfl_addrmodule(f->dwfl, at);
    const char *symbol = module ? dwfl_module_addrname(module, at) : nullptr;
    std::string name = symbol ? symbol : "??";
    int status = 0;
    if (char *plain = abi::__cxa_demangle(name.c_str(), nullptr, nullptr, &status)) {
        name = plain;
        std::free(plain);
    }
    char line[2048];
    int length = std::snprintf(line, sizeof line, "  #%-2d 0x%016llx %s", f->index++,
                               static_cast<unsigned long long>(pc), name.c_str());
    if (Dwfl_Line *source = module ? dwfl_module_getsrc(module, at) : nullptr) {
        int lineNo = 0;
        if (const char *file = dwfl_lineinfo(source, nullptr, &lineNo, nullptr, nullptr, nullptr))
            length += std::snprintf(line + length, sizeof line - size_t(length), " at %s:%d", file,
                                    lineNo);
    } else if (module) {
        const char *file = nullptr;
        dwfl_module_info(module, nullptr, nullptr, nullptr, nullptr, nullptr, &file, nullptr);
        if (file)
            length += std::snprintf(line + length, sizeof line - size_t(length), " in %s", file);
    }
    std::snprintf(line + length, sizeof line - size_t(length), "\n");
    put(f->fd, line);
    return f->index < 128 ? DWARF_CB_OK : DWARF_CB_ABORT;
}

int onThread(Dwfl_Thread *thread, void *arg)
{
    auto *f = static_cast<Frames *>(arg);
    char head[64];
    std::snprintf(head, sizeof head, "Thread %d:\n", int(dwfl_thread_tid(thread)));
    put(f->fd, head);
    f->index = 0;
    dwfl_thread_getframes(thread, onFrame, f);
    put(f->fd, "\n");
    return DWARF_CB_OK;
}

} // namespace

std::string dumpFileName(const std::string &folder, const std::string &prefix, long t)
{
    // The handler's own formatting, with the local offset of that moment.
    const time_t when = time_t(t);
    tm local{};
    localtime_r(&when, &local);
    std::string path(folder.size() + prefix.size() + 32, '\0');
    dumpPath(&path[0], path.size(), folder.c_str(), prefix.c_str(), (long long)t + local.tm_gmtoff);
    path.resize(std::strlen(path.c_str()));
    return path;
}

bool install(const std::string &folder, const std::string &prefix, const std::string &helper)
{
    for (size_t i = 1; i <= folder.size(); ++i)
        if (i == folder.size() || folder[i] == '/')
            ::mkdir(folder.substr(0, i).c_str(), 0700);
    struct stat st {};
    if (::stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
        return false;
    std::snprintf(g_folder, sizeof g_folder, "%s", folder.c_str());
    std::snprintf(g_prefix, sizeof g_prefix, "%s", prefix.c_str());
    std::snprintf(g_helper, sizeof g_helper, "%s", helper.c_str());
    const time_t now = std::time(nullptr);
    tm local{};
    localtime_r(&now, &local);
    g_utcOffset = local.tm_gmtoff;
    prepareHelperEnvironment();
    // backtrace() loads its unwinder on first use: done here, not in the handler.
    void *warm[2];
    ::backtrace(warm, 2);
    // A stack of its own on this thread and on every thread made from now on, so
    // that a stack overflow anywhere can be reported too.
    installThreadStack();
    struct sigaction action {};
    action.sa_sigaction = &onSignal;
    action.sa_flags = SA_SIGINFO | SA_ONSTACK;
    sigemptyset(&action.sa_mask);
    for (int sig : kSignals)
        ::sigaction(sig, &action, nullptr);
    return true;
}

bool writeThreadStacks(int pid, int fd)
{
    static const Dwfl_Callbacks callbacks = {dwfl_linux_proc_find_elf, dwfl_standard_find_debuginfo,
                                             nullptr, nullptr};
    Dwfl *dwfl = dwfl_begin(&callbacks);
    if (!dwfl)
        return false;
    bool ok =
        dwfl_linux_proc_report(dwfl, pid) == 0 && dwfl_report_end(dwfl, nullptr, nullptr) == 0;
    // The dying process grants the attach right after starting this helper: a first
    // refusal is retried for a moment.
    for (int tries = 0; ok; ++tries) {
        if (dwfl_linux_proc_attach(dwfl, pid, false) == 0)
            break;
        if (tries >= 50) {
            ok = false;
            break;
        }
        ::usleep(20 * 1000);
    }
    if (ok) {
        Frames frames{fd, dwfl};
        ok = dwfl_getthreads(dwfl, onThread, &frames) == 0;
    }
    dwfl_end(dwfl);
    return ok;
}

} // namespace zua::crash
