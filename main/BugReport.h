#pragma once
// Crash reports. At start-up the crash handler is installed: a crash writes a dump
// of every thread's stack into the crash folder (under the user's state folder, so
// it survives a reboot). A crashed process cannot safely show a window, so the
// next start tells the user about it. Nothing leaves the machine without a yes: with
// a secure (https) report address set, the question lists every file that would be
// sent and offers to leave the auto-saved project out; the report description
// (JSON) is then sealed and handed to the uploader, a separate small program beside
// the editor, which runs while the editor goes on (a notice with Cancel, 20 s at
// most). Without an address the user is only told where the dump is kept.
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
    // The files a report of `dump` carries: the dump, the crashed run's log and, when
    // `withProject`, the auto-saved project (it holds subtitle texts and media paths).
    QStringList filesToSend(const QString &dump, bool withProject) const;
    // The report description of `dump`, as styled JSON text, fields in order.
    QString description(const QString &dump, bool withProject = true) const;
    // Seals the description and starts the uploader without waiting for it; the
    // answer to show comes with sig_sent. A notice shows while it runs; Cancel stops.
    void send(const QString &dump, bool withProject);
    // True for an address reports may go to: https, with a host.
    static bool isSecureAddress(const QString &address);

    // The program that uploads, and the address it is told ("bug_report" setting;
    // empty by default: nothing is sent).
    static QString uploaderPath();
    static QString endpoint();
    // The key the uploader opens the description with.
    static const char *sealKey();

signals:
    void sig_sent(const QString &result);

private:
    BugReport() = default;
    bool m_ask = true;
};
