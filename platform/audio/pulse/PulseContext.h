#pragma once
// A connection to the desktop's sound server (PulseAudio) on a main loop thread of
// its own, shared by playback, capture and the device list.
// Lives on: the thread that owns it; the server's loop thread runs the callbacks,
// which take the loop's lock as every caller here must (Lock).

#include <pulse/pulseaudio.h>

namespace zua::pulse {

class Context {
public:
    explicit Context(const char *name);
    ~Context();
    Context(const Context &) = delete;
    Context &operator=(const Context &) = delete;

    // Connects without spawning a server; false when none answers within `ms`.
    bool connect(int ms);
    bool good() const; // connected and not failed since (call locked)

    pa_threaded_mainloop *loop() const { return m_loop; }
    pa_context *context() const { return m_context; }

    // Holds the loop's lock for its scope.
    class Lock {
    public:
        explicit Lock(const Context &c) : m_loop(c.m_loop) { pa_threaded_mainloop_lock(m_loop); }
        ~Lock() { pa_threaded_mainloop_unlock(m_loop); }
        Lock(const Lock &) = delete;
        Lock &operator=(const Lock &) = delete;

    private:
        pa_threaded_mainloop *m_loop;
    };

    // Waits (locked) until `ready()` holds; false when `failed()` holds first or
    // `ms` pass. Callbacks wake the wait with signal().
    template <typename Ready, typename Failed> bool waitFor(Ready ready, Failed failed, int ms)
    {
        Deadline deadline(*this, ms);
        while (!ready()) {
            if (failed() || deadline.passed)
                return false;
            pa_threaded_mainloop_wait(m_loop);
        }
        return true;
    }
    // Waits (locked) for an operation to finish and releases it; false on time-out.
    bool finish(pa_operation *op, int ms);
    void signal() { pa_threaded_mainloop_signal(m_loop, 0); }

private:
    // A time event that wakes the waiting thread once `ms` have passed.
    struct Deadline {
        Deadline(Context &c, int ms);
        ~Deadline();
        Context &context;
        pa_time_event *event = nullptr;
        bool passed = false;
    };
    static void onState(pa_context *, void *self);

    pa_threaded_mainloop *m_loop = nullptr;
    pa_context *m_context = nullptr;
    bool m_started = false;
};

} // namespace zua::pulse
