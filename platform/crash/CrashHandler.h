#pragma once
// Writes a crash dump when the process dies of a fatal signal: the signal, the
// faulting address and a symbolised stack of every thread, in
// <folder>/<prefix>_YYYYMMDD_hhmmss.dmp, plus a "<dump>.pending" marker (written
// first) that the next start reads to offer the report. The dump is written as
// "<dump>.part" and renamed when complete. The stacks come from a helper program
// started with vfork/execve that attaches to the dying process (libdw unwinds every
// thread there, from local files only); without it, the crashing thread's frames are
// written by address. The handler allocates nothing and takes no lock, so a crash
// inside the allocator is reported too; a second fatal signal ends the process at
// once, and it is gone within 10 s whatever happens. Then the signal is raised
// again, so the process ends as it would have.
// Lives on: install() on the main thread at start-up; the handler runs on the
// crashing thread, on that thread's alternate stack (every thread has one).

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

// Gives the calling thread an alternate signal stack (freed when it ends); every
// thread started after install() gets one by itself. False in sanitizer builds.
bool installThreadStack();
// True when thread starts are wrapped to give each thread its stack.
bool threadStacksWrapped();

} // namespace zua::crash
