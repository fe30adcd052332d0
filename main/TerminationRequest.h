#pragma once
// Turns a polite termination request from the system (SIGTERM or SIGINT, e.g. at
// log-out or from a terminal) into a normal close of the editor on the main
// thread, so the user is asked about unsaved work instead of losing it. While a
// modal question is open the request ends the editor at once, answering nothing.
// Lives on: main thread (the signal handler only writes one byte to a pipe).

#include <QObject>

#include <functional>

class QSocketNotifier;

class TerminationRequest : public QObject {
    Q_OBJECT
public:
    // `onRequest` runs on the main thread for each request received.
    TerminationRequest(std::function<void()> onRequest, QObject *parent = nullptr);
    ~TerminationRequest() override;

private:
    std::function<void()> m_onRequest;
    QSocketNotifier *m_notifier = nullptr;
};
