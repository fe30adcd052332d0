// Crash reports with the real editor: SIGSEGV writes a dump with the stack of every
// thread into the crash folder, the next start offers to send it, and the uploader
// posts it to the endpoint set in the settings (a server in this test), or says why
// it could not and keeps the dump.
#include "support/EditorProcess.h"
#include "support/Files.h"

#include <QSslSocket>
#include <QTcpServer>
#include <QtTest>

#include <csignal>

namespace {

// Takes HTTPS requests (a certificate of its own, made for the test) and answers
// 200, or never answers when `silent`; keeps what it received.
class ReportServer : public QTcpServer {
public:
    explicit ReportServer(const QString &folder, bool silent = false) : m_silent(silent)
    {
        m_cert = folder + "/cert.pem";
        m_key = folder + "/key.pem";
        QProcess::execute("openssl", {"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout",
                                      m_key, "-out", m_cert, "-days", "1", "-subj", "/CN=127.0.0.1",
                                      "-addext", "subjectAltName=IP:127.0.0.1"});
        listen(QHostAddress::LocalHost);
    }
    QString url() const { return QString("https://127.0.0.1:%1/report").arg(serverPort()); }
    QString authority() const { return m_cert; }
    QByteArray received;
    int connections = 0;

protected:
    void incomingConnection(qintptr handle) override
    {
        ++connections;
        auto *socket = new QSslSocket(this);
        socket->setSocketDescriptor(handle);
        socket->setLocalCertificate(m_cert);
        socket->setPrivateKey(m_key);
        connect(socket, &QSslSocket::readyRead, this, [this, socket] {
            received += socket->readAll();
            const int head = received.indexOf("\r\n\r\n");
            const QByteArray length = "Content-Length: ";
            const int at = received.indexOf(length);
            if (m_silent || head < 0 || at < 0)
                return;
            const int size = received.mid(at + length.size(), 12).split('\r').first().toInt();
            if (received.size() - head - 4 >= size)
                socket->write("HTTP/1.1 200 OK\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
        });
        socket->startServerEncryption();
    }

private:
    QString m_cert, m_key;
    bool m_silent;
};

// An empty 640 × 360 project in `home`, for the editor to open.
QString emptyProject(const QString &home)
{
    return fixtures::writeFile(
        home + "/empty.zua2",
        "<VoVive Version=\"1.0.0\" Archived=\"0\"><Render><scene><width>640</width>"
        "<height>360</height></scene></Render><Resource/><Timeline/><Preview/></VoVive>");
}

QStringList dumpsIn(const QString &folder)
{
    return QDir(folder).entryList({"*.dmp"}, QDir::Files, QDir::Name);
}

} // namespace

class TestCrashReport : public QObject {
    Q_OBJECT
private slots:
    void crashDumpsEveryThreadAndTheNextStartSendsIt()
    {
        QTemporaryDir dir;
        const QString home = dir.path(), project = emptyProject(home);
        const QString crashes = home + "/state/ZuAEdit/crashes";
        ReportServer server(home);
        {
            QProcess editor;
            QVERIFY(fixtures::startEditor(editor, home, project));
            {
                QSettings s(home + "/config/ZuAEdit/ZuAEdit.ini", QSettings::IniFormat);
                s.setValue("bug_report", server.url());
                s.setValue("bug_report_ca", server.authority());
            }
            ::kill(pid_t(editor.processId()), SIGSEGV);
            QVERIFY(editor.waitForFinished(30000));
            QCOMPARE(editor.exitStatus(), QProcess::CrashExit);
        }
        const QStringList dumps = dumpsIn(crashes);
        QCOMPARE(dumps.size(), 1);
        QVERIFY2(QRegularExpression("^RuZOVaza_\\d{8}_\\d{6}\\.dmp$").match(dumps[0]).hasMatch(),
                 qPrintable(dumps[0]));
        QVERIFY(QFileInfo::exists(crashes + "/" + dumps[0] + ".pending"));
        // The editor's own main function is among the stacks (every thread: the handler test).
        QVERIFY(fixtures::readFile(crashes + "/" + dumps[0]).contains("zuaMain"));

        // The next start asks; sending posts the dump to the endpoint.
        QProcess editor;
        QVERIFY(fixtures::startEditor(editor, home, project));
        QVERIFY(fixtures::xdo(
            "xdotool search --sync --onlyvisible --name 'ZuAEdit Software anomalies'", 20000));
        QVERIFY(fixtures::xdo("xdotool key Return"));
        QVERIFY(fixtures::waitForLog(home, "Successfully sent", 20000));
        QVERIFY(server.received.contains(dumps[0].toUtf8()));
        QVERIFY(server.received.contains("\"app_name\": \"RuZOVaza\""));
        QVERIFY(!QFileInfo::exists(crashes + "/" + dumps[0] + ".pending"));
        ::kill(pid_t(editor.processId()), SIGKILL);
        editor.waitForFinished();
    }
    void nothingLeavesWithoutAYes_data()
    {
        QTest::addColumn<QString>("address"); // "server": the test's https server
        QTest::addColumn<QString>("key");     // pressed in the question
        QTest::addColumn<QString>("log");     // what the editor did
        QTest::newRow("no address set") << ""
                                        << "Return"
                                        << "bug_report kept";
        QTest::newRow("a plain http address") << "http"
                                              << "Return"
                                              << "bug_report kept";
        QTest::newRow("Do not send") << "server"
                                     << "Escape"
                                     << "bug_report canceled";
        // Sent to a server that never answers: the editor goes on (the notice shows while
        // the upload runs) and gives up after 20 s, keeping the dump.
        QTest::newRow("an address that never answers") << "silent"
                                                       << "Return"
                                                       << "no answer within 20 seconds";
    }
    void nothingLeavesWithoutAYes()
    {
        QFETCH(QString, address);
        QFETCH(QString, key);
        QFETCH(QString, log);
        QTemporaryDir dir;
        const QString home = dir.path(), project = emptyProject(home);
        // A crash the last run left behind.
        const QString crashes = home + "/state/ZuAEdit/crashes";
        QVERIFY(QDir().mkpath(crashes));
        for (const QString name :
             {"RuZOVaza_20261206_090507.dmp", "RuZOVaza_20261206_090507.dmp.pending"})
            QVERIFY(!fixtures::writeFile(crashes + "/" + name, "SIGSEGV (invalid memory access)\n")
                         .isEmpty());
        ReportServer server(home, address == "silent");
        {
            QVERIFY(QDir().mkpath(home + "/config/ZuAEdit"));
            QSettings s(home + "/config/ZuAEdit/ZuAEdit.ini", QSettings::IniFormat);
            s.setValue("bug_report",
                       address == "server" || address == "silent" ? server.url()
                       : address == "http"
                           ? QString("http://127.0.0.1:%1/report").arg(server.serverPort())
                           : QString());
            s.setValue("bug_report_ca", server.authority());
        }
        QProcess editor;
        QVERIFY(fixtures::startEditor(editor, home, project));
        QVERIFY(fixtures::xdo(
            "xdotool search --sync --onlyvisible --name 'ZuAEdit Software anomalies'", 20000));
        QVERIFY(fixtures::xdo("xdotool key " + key));
        if (address == "silent") {
            QVERIFY(fixtures::xdo(
                "xdotool search --sync --onlyvisible --name '^Sending the crash report'", 15000));
            // The report travels through a pipe: the uploader's command line, which every
            // local user can read, holds no part of it.
            QProcess list;
            list.start("pgrep", {"-a", "zuaedit-bugrep"});
            QVERIFY(list.waitForFinished());
            const QByteArray running = list.readAllStandardOutput().trimmed();
            QVERIFY2(!running.isEmpty() && running.size() < 200, running.constData());
        }
        QVERIFY2(fixtures::waitForLog(home, log, 30000),
                 qPrintable(fixtures::readLog(home).right(1500)));
        QTest::qWait(1000);
        QCOMPARE(server.connections, address == "silent" ? 1 : 0);
        QVERIFY(QFileInfo::exists(crashes + "/RuZOVaza_20261206_090507.dmp")); // kept
        ::kill(pid_t(editor.processId()), SIGKILL);
        editor.waitForFinished();
    }
};

QTEST_GUILESS_MAIN(TestCrashReport)
#include "tst_crashreport.moc"
