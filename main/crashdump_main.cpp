// zuaedit-crashdump PID FD: started by the editor's crash handler; writes the stack
// of every thread of the dying process PID to the open file descriptor FD.
#include "crash/CrashHandler.h"

#include <cstdlib>

int main(int argc, char **argv)
{
    if (argc != 3)
        return 2;
    // Symbols from local files only: no debug-information server is asked.
    ::unsetenv("DEBUGINFOD_URLS");
    return zua::crash::writeThreadStacks(std::atoi(argv[1]), std::atoi(argv[2])) ? 0 : 1;
}
