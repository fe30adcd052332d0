#pragma once
// Writes a crash dump when the process dies of a fatal signal: the signal, the
// faulting address and a symbolised stack of every thread, in
// <folder>/<prefix>_YYYYMMDD_hhmmss.dmp, plus a "<dump>.pending" marker that the next
// start reads to offer the report. The stacks come from a helper program that
// attaches to the dying process (libdw unwinds every thread there); without the
// helper, the crashing thread's own stack is written in-process (backward-cpp).
// Then the signal is raised again, so the process ends as it would have.
// Lives on: install() on the main thread at start-up; the handler runs on the
// crashing thread.

#include <string>

namespace zua::crash {

// Installs the handler for SIGSEGV, SIGBUS, SIGILL, SIGFPE and SIGABRT. `helper` is
// the path of the stack-writing program (may be empty). False when the folder
// cannot be made.
bool install(const std::string &folder, const std::string &prefix, const std::string &helper);

// The dump file name for a crash at local time `t` (seconds since the epoch).
std::string dumpFileName(const std::string &folder, const std::string &prefix, long t);

// Run by the helper program: writes the stacks of every thread of process `pid`
// to the file descriptor `fd`. False when the process could not be attached.
bool writeThreadStacks(int pid, int fd);

} // namespace zua::crash
