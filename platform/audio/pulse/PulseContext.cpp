#include "PulseContext.h"

#include <sys/time.h>

namespace zua::pulse {

Context::Context(const char *name)
{
    m_loop = pa_threaded_mainloop_new();
    if (m_loop)
        m_context = pa_context_new(pa_threaded_mainloop_get_api(m_loop), name);
}

Context::~Context()
{
    if (m_loop && m_started)
        pa_threaded_mainloop_stop(m_loop);
    if (m_context) {
        pa_context_disconnect(m_context);
        pa_context_unref(m_context);
    }
    if (m_loop)
        pa_threaded_mainloop_free(m_loop);
}

void Context::onState(pa_context *, void *self)
{
    static_cast<Context *>(self)->signal();
}

bool Context::connect(int ms)
{
    if (!m_context)
        return false;
    pa_context_set_state_callback(m_context, &Context::onState, this);
    // Never spawn a server: without one, sound is simply unavailable.
    if (pa_context_connect(m_context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0)
        return false;
    if (pa_threaded_mainloop_start(m_loop) < 0)
        return false;
    m_started = true;
    Lock lock(*this);
    return waitFor([&] { return pa_context_get_state(m_context) == PA_CONTEXT_READY; },
                   [&] { return !PA_CONTEXT_IS_GOOD(pa_context_get_state(m_context)); }, ms);
}

bool Context::good() const
{
    return m_context && pa_context_get_state(m_context) == PA_CONTEXT_READY;
}

bool Context::finish(pa_operation *op, int ms)
{
    if (!op)
        return false;
    // Operations whose callback does not wake the loop (or have none) still do.
    pa_operation_set_state_callback(
        op, [](pa_operation *, void *self) { static_cast<Context *>(self)->signal(); }, this);
    const bool done = waitFor([&] { return pa_operation_get_state(op) != PA_OPERATION_RUNNING; },
                              [&] { return !good(); }, ms);
    pa_operation_set_state_callback(op, nullptr, nullptr);
    if (!done)
        pa_operation_cancel(op);
    pa_operation_unref(op);
    return done;
}

Context::Deadline::Deadline(Context &c, int ms) : context(c)
{
    pa_mainloop_api *api = pa_threaded_mainloop_get_api(c.m_loop);
    struct timeval tv;
    gettimeofday(&tv, nullptr);
    pa_timeval_add(&tv, pa_usec_t(ms) * 1000);
    event = api->time_new(
        api, &tv,
        [](pa_mainloop_api *, pa_time_event *, const struct timeval *, void *self) {
            auto *d = static_cast<Deadline *>(self);
            d->passed = true;
            d->context.signal();
        },
        this);
}

Context::Deadline::~Deadline()
{
    if (event)
        pa_threaded_mainloop_get_api(context.m_loop)->time_free(event);
}

} // namespace zua::pulse
