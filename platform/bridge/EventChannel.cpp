#include "EventChannel.h"

#include <QMetaObject>

namespace bg {

EventChannel &EventChannel::instance()
{
    static EventChannel channel;
    return channel;
}

void EventChannel::subscribe(const QString &name, QObject *receiver, std::function<void()> handler)
{
    if (!receiver || !handler)
        return;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_subs.push_back({name, receiver, std::move(handler)});
    }
    QObject::connect(receiver, &QObject::destroyed, [this, receiver] { unsubscribe(receiver); });
}

void EventChannel::unsubscribe(QObject *receiver)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_subs.erase(
        std::remove_if(m_subs.begin(), m_subs.end(),
                       [receiver](const Subscription &s) { return s.receiver == receiver; }),
        m_subs.end());
}

int EventChannel::post(const QString &name)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    int queued = 0;
    for (const Subscription &s : m_subs) {
        if (s.name != name)
            continue;
        // The receiver as context drops the call if it is destroyed before delivery.
        QMetaObject::invokeMethod(s.receiver, s.handler, Qt::QueuedConnection);
        ++queued;
    }
    return queued;
}

} // namespace bg
