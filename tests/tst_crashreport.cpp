// Crash reports with the real editor: SIGSEGV writes a dump with the stack of every
// thread into the crash folder, the next start offers to send it, and the uploader
// posts it to the endpoint set in the settings (a server in this test), or says why
// it could not and keeps the dump.
#include "main/BugReport.h"
#include "support/EditorProcess.h"

#include "bridge/AppInfo.h"
#include "bridge/UserSettings.h"
#include "crash/CrashHandler.h"

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
    const QString project = home + "/empty.zua2";
    QFile f(project);
    if (f.open(QIODevice::WriteOnly))
        f.write("<VoVive Version=\"1.0.0\" Archived=\"0\"><Render><scene><width>640</width>"
                "<height>360</height></scene></Render><Resource/><Timeline/><Preview/></VoVive>");
    return project;
}

QStringList dumpsIn(const QString &folder)
{
    return QDir(folder).entryList({"*.dmp"}, QDir::Files, QDir::Name);
}

} // namespace

class TestCrashReport : public QObject {
    Q_OBJECT
private slots:
    void dumpNamesAndDescription();
    void crashDumpsEveryThreadAndTheNextStartSendsIt();
    void nothingLeavesWithoutAYes_data();
    void nothingLeavesWithoutAYes();
};

void TestCrashReport::nothingLeavesWithoutAYes_data()
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

void TestCrashReport::nothingLeavesWithoutAYes()
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
         {"RuZOVaza_20261206_090507.dmp", "RuZOVaza_20261206_090507.dmp.pending"}) {
        QFile dump(crashes + "/" + name);
        QVERIFY(dump.open(QIODevice::WriteOnly));
        dump.write("SIGSEGV (invalid memory access)\n");
    }
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
    QVERIFY(fixtures::xdo("xdotool search --sync --onlyvisible --name 'ZuAEdit Software anomalies'",
                          20000));
    QVERIFY(fixtures::xdo("xdotool key " + key));
    if (address == "silent")
        QVERIFY(fixtures::xdo(
            "xdotool search --sync --onlyvisible --name '^Sending the crash report'", 5000));
    QVERIFY2(fixtures::waitForLog(home, log, 30000),
             qPrintable(fixtures::readLog(home).right(1500)));
    QTest::qWait(1000);
    QCOMPARE(server.connections, address == "silent" ? 1 : 0);
    QVERIFY(QFileInfo::exists(crashes + "/RuZOVaza_20261206_090507.dmp")); // kept
    ::kill(pid_t(editor.processId()), SIGKILL);
    editor.waitForFinished();
}

void TestCrashReport::dumpNamesAndDescription()
{
    // 2026-12-06 09:05:07 local time.
    QDateTime when(QDate(2026, 12, 6), QTime(9, 5, 7));
    QCOMPARE(QString::fromStdString(
                 zua::crash::dumpFileName("/crashes", "RuZOVaza", long(when.toSecsSinceEpoch()))),
             QString("/crashes/RuZOVaza_20261206_090507.dmp"));

    bg::AppInfo::instance().setAppName("RuZOVaza");
    bg::AppInfo::instance().setVersion("3.0.2");
    QTemporaryDir dir;
    const QString dump = dir.filePath("RuZOVaza_20261206_090507.dmp");
    QFile f(dump);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.close();
    // The auto-saved project goes only when the user lets it; the settings never.
    const QString project = dir.filePath("~temp_work.zua2");
    QFile p(project);
    QVERIFY(p.open(QIODevice::WriteOnly));
    p.close();
    bg::UserSettings::instance().set("autoSavePath", project.toStdString());
    const QJsonArray without =
        QJsonDocument::fromJson(BugReport::instance()->description(dump, false).toUtf8())
            .object()
            .value("files")
            .toArray();
    QCOMPARE(without.size(), 2);
    QCOMPARE(without.at(0).toString(), dump);
    QVERIFY(!without.contains(project));
    const QString text = BugReport::instance()->description(dump, true);
    const QJsonObject report = QJsonDocument::fromJson(text.toUtf8()).object();
    QCOMPARE(report.value("files").toArray().size(), 3);
    QCOMPARE(report.value("files").toArray().at(2).toString(), project);
    QVERIFY(!text.contains(QString::fromStdString(bg::UserSettings::instance().filePath())));
    bg::UserSettings::instance().set("autoSavePath", "");
    QVERIFY(!BugReport::isSecureAddress("http://example.org/report"));
    QVERIFY(!BugReport::isSecureAddress(""));
    QVERIFY(BugReport::isSecureAddress("https://example.org/report"));
    QCOMPARE(report.value("app_name").toString(), QString("RuZOVaza"));
    QCOMPARE(report.value("version").toString(), QString("3.0.2"));
    QVERIFY(report.value("up_save_as").toString().startsWith("dump_RuZOVaza_3.0.2_"));
    QCOMPARE(report.value("files").toArray().at(0).toString(), dump);
    QCOMPARE(report.value("sign").toString(), QString("xxx"));
    QVERIFY(report.value("pts").toDouble() > QDateTime::currentSecsSinceEpoch() + 3500);
    // The fields come in their fixed order.
    QStringList order;
    for (const QString &line : text.split('\n'))
        if (line.trimmed().startsWith('"'))
            order << line.trimmed().section('"', 1, 1);
    QCOMPARE(order,
             (QStringList{"app_name", "version", "up_save_as", "files", "crash_time", "up_url",
                          "up_ca", "up_secret_key", "up_access_key", "pts", "sign"}));
}

void TestCrashReport::crashDumpsEveryThreadAndTheNextStartSendsIt()
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
    QFile dumpFile(crashes + "/" + dumps[0]);
    QVERIFY(dumpFile.open(QIODevice::ReadOnly));
    const QString stacks = QString::fromUtf8(dumpFile.readAll());
    // Every thread, with function names: the main thread was in Qt's event loop.
    QVERIFY2(stacks.startsWith("SIGSEGV"), qPrintable(stacks.left(200)));
    QVERIFY2(stacks.count("Thread ") >= 3, qPrintable(stacks.left(3000)));
    QVERIFY2(stacks.contains("QCoreApplication::exec") || stacks.contains("QEventLoop::exec"),
             qPrintable(stacks.left(3000)));
    QVERIFY(stacks.contains("zuaMain"));

    // The next start asks; sending posts the dump to the endpoint.
    QProcess editor;
    QVERIFY(fixtures::startEditor(editor, home, project));
    QVERIFY(fixtures::xdo("xdotool search --sync --onlyvisible --name 'ZuAEdit Software anomalies'",
                          20000));
    QVERIFY(fixtures::xdo("xdotool key Return"));
    QVERIFY(fixtures::waitForLog(home, "Successfully sent", 20000));
    QVERIFY(server.received.contains(dumps[0].toUtf8()));
    QVERIFY(server.received.contains("\"app_name\": \"RuZOVaza\""));
    QVERIFY(!QFileInfo::exists(crashes + "/" + dumps[0] + ".pending"));
    ::kill(pid_t(editor.processId()), SIGKILL);
    editor.waitForFinished();
}

QTEST_GUILESS_MAIN(TestCrashReport)
#include "tst_crashreport.moc"
