#pragma once
// Named events: a receiver subscribes to a name and is called, on its own thread,
// whenever the name is posted.
// Lives on: any thread; post() may be called from any thread.

#include <QObject>
#include <QString>

#include <functional>
#include <mutex>
#include <vector>

namespace bg {

class EventChannel {
public:
    static EventChannel &instance();

    // The subscription ends when `receiver` is destroyed.
    void subscribe(const QString &name, QObject *receiver, std::function<void()> handler);
    void unsubscribe(QObject *receiver);
    // Queues the handlers of every subscriber of `name`; returns how many were queued.
    int post(const QString &name);

private:
    EventChannel() = default;
    struct Subscription {
        QString name;
        QObject *receiver;
        std::function<void()> handler;
    };
    std::mutex m_mutex;
    std::vector<Subscription> m_subs;
};

} // namespace bg
