#include "CrashHandler.h"

#define BACKWARD_HAS_DW 1
#include <backward.hpp>

#include <elfutils/libdwfl.h>

#include <cxxabi.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <sstream>

namespace zua::crash {

namespace {

constexpr int kSignals[] = {SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGABRT};
constexpr int kHelperWaitMs = 15000;

// Prepared at install time: the handler only formats into fixed buffers.
char g_folder[1024];
char g_prefix[128];
char g_helper[1024];
volatile sig_atomic_t g_handling = 0;

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

// Runs the helper on this process and waits for it, a limited time.
bool runHelper(int fd)
{
    if (!g_helper[0])
        return false;
    char pid[24], out[24];
    std::snprintf(pid, sizeof pid, "%d", int(::getpid()));
    std::snprintf(out, sizeof out, "%d", fd);
    const pid_t child = ::fork();
    if (child < 0)
        return false;
    if (child == 0) {
        char *const argv[] = {g_helper, pid, out, nullptr};
        ::execv(g_helper, argv);
        ::_exit(127);
    }
    for (int waited = 0; waited < kHelperWaitMs; waited += 10) {
        int status = 0;
        const pid_t done = ::waitpid(child, &status, WNOHANG);
        if (done == child)
            return WIFEXITED(status) && WEXITSTATUS(status) == 0;
        if (done < 0 && errno != EINTR)
            return false;
        const timespec ten{0, 10 * 1000 * 1000};
        ::nanosleep(&ten, nullptr);
    }
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    return false;
}

// The crashing thread's stack, resolved in this process (the fallback; the frames
// of this handler come first).
void writeOwnStack(int fd)
{
    backward::StackTrace here;
    here.load_here(64);
    backward::Printer printer;
    printer.snippet = false;
    printer.color_mode = backward::ColorMode::never;
    std::ostringstream text;
    printer.print(here, text);
    put(fd, text.str().c_str());
}

void onSignal(int sig, siginfo_t *info, void *)
{
    if (g_handling) { // a crash while writing the dump: just end
        ::signal(sig, SIG_DFL);
        ::raise(sig);
        return;
    }
    g_handling = 1;
    const std::string path = dumpFileName(g_folder, g_prefix, long(std::time(nullptr)));
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd >= 0) {
        char head[256];
        std::snprintf(head, sizeof head, "%s at address %p in thread %d of process %d\n\n",
                      signalName(sig), info ? info->si_addr : nullptr, int(::gettid()),
                      int(::getpid()));
        put(fd, head);
        // The helper gets the descriptor open across exec.
        const int inherited = ::fcntl(fd, F_DUPFD, 3);
        if (!runHelper(inherited)) {
            put(fd, "(every thread could not be read; the crashing thread only)\n");
            writeOwnStack(fd);
        }
        ::close(inherited);
        ::close(fd);
        const std::string marker = path + ".pending";
        const int m = ::open(marker.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        if (m >= 0)
            ::close(m);
    }
    std::fprintf(stderr, "I'm so sorry, but the program crashed.\ndump file : %s\n", path.c_str());
    ::signal(sig, SIG_DFL);
    ::raise(sig);
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
    const time_t when = time_t(t);
    tm local{};
    localtime_r(&when, &local);
    char name[64];
    std::snprintf(name, sizeof name, "_%04d%02d%02d_%02d%02d%02d.dmp", local.tm_year + 1900,
                  local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
    return folder + "/" + prefix + name;
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
    // The helper is our child: let it attach where ptrace is restricted to parents.
    ::prctl(PR_SET_PTRACER, PR_SET_PTRACER_ANY, 0, 0, 0);
    // A stack of its own, so that a stack overflow can be reported too.
    static char alternate[64 * 1024];
    stack_t ss{};
    ss.ss_sp = alternate;
    ss.ss_size = sizeof alternate;
    ::sigaltstack(&ss, nullptr);
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
    bool ok = dwfl_linux_proc_report(dwfl, pid) == 0 &&
              dwfl_report_end(dwfl, nullptr, nullptr) == 0 &&
              dwfl_linux_proc_attach(dwfl, pid, false) == 0;
    if (ok) {
        Frames frames{fd, dwfl};
        ok = dwfl_getthreads(dwfl, onThread, &frames) == 0;
    }
    dwfl_end(dwfl);
    return ok;
}

} // namespace zua::crash
