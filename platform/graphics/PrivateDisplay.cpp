#include "PrivateDisplay.h"

#include <QByteArray>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#ifdef Q_OS_LINUX
#include <sys/prctl.h>
#endif
#endif

namespace {
constexpr int kStartTimeoutMs = 15000;
}

PrivateDisplay::~PrivateDisplay()
{
    stop();
}

#ifdef Q_OS_UNIX

bool PrivateDisplay::start(QString *error)
{
    int fds[2];
    if (pipe(fds) != 0) {
        *error = "no pipe for the display server";
        return false;
    }
    const pid_t parent = getpid();
    const pid_t pid = fork();
    if (pid < 0) {
        close(fds[0]);
        close(fds[1]);
        *error = "the display server could not be started";
        return false;
    }
    if (pid == 0) {
#ifdef Q_OS_LINUX
        // The server goes when this process goes, however it ends.
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (getppid() != parent)
            _exit(1);
#endif
        close(fds[0]);
        const int quiet = open("/dev/null", O_RDWR);
        if (quiet >= 0) {
            dup2(quiet, 0);
            dup2(quiet, 1);
            dup2(quiet, 2);
        }
        // The server picks a free number and writes it to this pipe when it is ready.
        const std::string fd = std::to_string(fds[1]);
        execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1280x720x24", "-nolisten",
               "tcp", static_cast<char *>(nullptr));
        _exit(127);
    }
    close(fds[1]);
    m_pid = pid;

    // Read "N\n" from the server, or end of file when it could not start.
    QByteArray said;
    pollfd wait{fds[0], POLLIN, 0};
    while (!said.contains('\n') && poll(&wait, 1, kStartTimeoutMs) > 0) {
        char buffer[32];
        const ssize_t n = read(fds[0], buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        said.append(buffer, int(n));
    }
    close(fds[0]);
    bool ok = false;
    const int number = said.trimmed().toInt(&ok);
    if (!said.contains('\n') || !ok) {
        stop();
        *error = "no display is set and Xvfb could not be started (is it installed?)";
        return false;
    }
    m_name = QString(":%1").arg(number);
    setenv("DISPLAY", qPrintable(m_name), 1);
    return true;
}

void PrivateDisplay::stop()
{
    if (m_pid <= 0)
        return;
    kill(pid_t(m_pid), SIGTERM);
    int status = 0;
    while (waitpid(pid_t(m_pid), &status, 0) < 0 && errno == EINTR) {
    }
    m_pid = -1;
    if (!m_name.isEmpty())
        unsetenv("DISPLAY");
    m_name.clear();
}

#else

bool PrivateDisplay::start(QString *error)
{
    *error = "no display is set";
    return false;
}

void PrivateDisplay::stop() {}

#endif
