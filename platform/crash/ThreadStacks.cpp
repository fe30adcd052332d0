// Every thread of the process gets an alternate signal stack, so that a stack
// overflow in any thread (not only the main one) still reaches the crash handler.
// Threads are made by our code, by Qt (QThread, the thread pool) and by the
// libraries under it (the GL driver, the sound server's client), so the stack is
// set where they all pass: pthread_create is wrapped here, and the wrapper's start
// routine installs the stack before it runs the thread's own. The program that
// links this file exports the wrapper (the shared libraries referring to
// pthread_create then find it first); the real function is found with RTLD_NEXT.
// Lives on: every thread (each installs and frees its own stack).

#include "CrashHandler.h"

#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)

#include <dlfcn.h>
#include <pthread.h>
#include <signal.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdlib>

namespace {

constexpr size_t kStackBytes = 64 * 1024;

// Unmapped when the thread ends (a thread_local's destructor runs at its exit).
struct AlternateStack {
    void *memory = nullptr;
    size_t bytes = 0;
    ~AlternateStack()
    {
        if (!memory)
            return;
        stack_t off{};
        off.ss_flags = SS_DISABLE;
        ::sigaltstack(&off, nullptr);
        ::munmap(memory, bytes);
    }
};

struct Start {
    void *(*routine)(void *);
    void *argument;
};

void *startWithStack(void *p)
{
    const Start start = *static_cast<Start *>(p);
    std::free(p);
    zua::crash::installThreadStack();
    return start.routine(start.argument);
}

using CreateFn = int (*)(pthread_t *, const pthread_attr_t *, void *(*)(void *), void *);

CreateFn realCreate()
{
    static const CreateFn real = reinterpret_cast<CreateFn>(::dlsym(RTLD_NEXT, "pthread_create"));
    return real;
}

} // namespace

extern "C" int pthread_create(pthread_t *thread, const pthread_attr_t *attributes,
                              void *(*routine)(void *), void *argument)
{
    const CreateFn real = realCreate();
    if (!real)
        return EAGAIN;
    auto *start = static_cast<Start *>(std::malloc(sizeof(Start)));
    if (!start) // without room for the note, the thread runs without the stack
        return real(thread, attributes, routine, argument);
    *start = Start{routine, argument};
    const int result = real(thread, attributes, &startWithStack, start);
    if (result != 0)
        std::free(start);
    return result;
}

namespace zua::crash {

bool installThreadStack()
{
    thread_local AlternateStack stack;
    if (stack.memory)
        return true;
    // One page below stays unmapped: an overflow of the signal stack itself faults
    // instead of writing over other memory.
    const size_t page = size_t(::sysconf(_SC_PAGESIZE));
    const size_t bytes = kStackBytes + page;
    void *memory =
        ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (memory == MAP_FAILED)
        return false;
    ::mprotect(memory, page, PROT_NONE);
    stack_t ss{};
    ss.ss_sp = static_cast<char *>(memory) + page;
    ss.ss_size = kStackBytes;
    if (::sigaltstack(&ss, nullptr) != 0) {
        ::munmap(memory, bytes);
        return false;
    }
    stack.memory = memory;
    stack.bytes = bytes;
    return true;
}

bool threadStacksWrapped()
{
    return true;
}

} // namespace zua::crash

#else

namespace zua::crash {

// Sanitizers wrap pthread_create themselves and report crashes their own way.
bool installThreadStack()
{
    return false;
}

bool threadStacksWrapped()
{
    return false;
}

} // namespace zua::crash

#endif
