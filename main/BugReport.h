#pragma once
// Crash reports. At start-up the crash handler is installed: a crash writes a dump
// of every thread's stack into the crash folder (under the user's state folder, so
// it survives a reboot). A crashed process cannot safely show a window, so the
// next start offers to send what the last crash left: the report description
// (JSON) is sealed and handed to the uploader, a separate small program beside the
// editor; its answer is shown, and the dump stays when sending failed.
// Lives on: main thread.

#include <QObject>
#include <QString>
#include <QStringList>

class BugReport : public QObject {
    Q_OBJECT
public:
    static BugReport *instance();
    // Installs the crash handler; with `ask`, the next start asks before sending.
    void enable(bool ask);
    bool asks() const { return m_ask; }

    static QString crashFolder();
    // Dumps a crash left that were not offered yet, oldest first.
    static QStringList pendingDumps();
    // Offers the newest pending dump (and forgets the older ones' markers).
    void offerPendingReport();
    // The report description of `dump`, as styled JSON text, fields in order.
    QString description(const QString &dump) const;
    // Seals the description, runs the uploader and returns the text to show.
    QString send(const QString &dump);

    // The program that uploads, and the endpoint it is told (a setting).
    static QString uploaderPath();
    static QString endpoint();
    // The key the uploader opens the description with.
    static const char *sealKey();

private:
    BugReport() = default;
    bool m_ask = true;
};
