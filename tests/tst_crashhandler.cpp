// The crash handler in the ways real crashes happen, each in a process of its own
// (this executable started again with "--crash KIND FOLDER"): inside the allocator
// with its lock held, a stack overflow in a worker thread (std::thread and QThread),
// two threads crashing at once, a dump helper that hangs. Each must leave a complete
// dump (every thread's symbolised stack, or at least the crashing thread's) and its marker, and the
// process must end by itself; the dump helper must not call the debug-information servers.
#include "crash/CrashHandler.h"
#include "support/Files.h"

#include <QDir>
#include <QProcess>
#include <QTcpServer>
#include <QThread>
#include <QtTest>

#include <csignal>
#include <cstdio>
#include <malloc.h>
#include <thread>

namespace {

// ---- the crashing side ----------------------------------------------------------

ssize_t crashingWrite(void *, const char *, size_t)
{
    *static_cast<volatile int *>(nullptr) = 1; // inside malloc_stats: the arena is locked
    return 0;
}

// malloc_stats() prints each arena while holding its lock: the printing crashes.
[[noreturn]] void crashInsideTheAllocator()
{
    cookie_io_functions_t io{};
    io.write = crashingWrite;
    FILE *crashing = fopencookie(nullptr, "w", io);
    setvbuf(crashing, nullptr, _IONBF, 0);
    stderr = crashing;
    malloc_stats();
    std::abort();
}

int deeper(int n)
{
    volatile char page[4096];
    page[0] = char(n);
    return deeper(n + 1) + page[0]; // no tail call: every level keeps its frame
}

[[noreturn]] void overflowInAStdThread()
{
    std::thread worker([] { deeper(0); });
    worker.join();
    std::abort();
}

[[noreturn]] void overflowInAQThread()
{
    QThread *worker = QThread::create([] { deeper(0); });
    worker->start();
    worker->wait();
    std::abort();
}

void nullWrite()
{
    *static_cast<volatile int *>(nullptr) = 2;
}

[[noreturn]] void twoThreadsCrashAtOnce()
{
    std::thread a(nullWrite), b(nullWrite);
    a.join();
    b.join();
    std::abort();
}

int crashChild(const QString &kind, const QString &folder)
{
    // A helper that never answers (sleep takes the process number as seconds).
    const char *helper = kind == "hung-helper" ? "/bin/sleep" : ZUA_CRASHDUMP_BINARY;
    if (!zua::crash::install(folder.toStdString(), "Crashee", helper))
        return 3;
    // A few threads that live on, so that "every thread" means something.
    for (int i = 0; i < 2; ++i)
        std::thread([] { QThread::sleep(60); }).detach();
    QThread::msleep(100);
    if (kind == "allocator")
        crashInsideTheAllocator();
    if (kind == "std-thread-overflow")
        overflowInAStdThread();
    if (kind == "qthread-overflow")
        overflowInAQThread();
    if (kind == "two-at-once")
        twoThreadsCrashAtOnce();
    if (kind == "hung-helper")
        nullWrite();
    return 4;
}

// ---- the watching side ----------------------------------------------------------

struct Crash {
    bool ended = false;
    int signal = 0;
    QString dump;    // the complete dump, or the part written
    QByteArray text; // its content
    bool marker = false;
};

Crash crash(const QString &kind, const QString &folder,
            const QProcessEnvironment &env = QProcessEnvironment::systemEnvironment())
{
    Crash c;
    QProcess child;
    child.setProcessEnvironment(env);
    child.start(QCoreApplication::applicationFilePath(), {"--crash", kind, folder});
    // The handler ends the process within 10 s of the signal, whatever happens; a
    // hang shows here as a process still running.
    c.ended = child.waitForFinished(15000);
    if (!c.ended) {
        child.kill();
        child.waitForFinished();
    }
    c.signal = child.exitStatus() == QProcess::CrashExit ? 1 : 0;
    const QStringList dumps = QDir(folder).entryList({"*.dmp", "*.dmp.part"}, QDir::Files);
    if (!dumps.isEmpty()) {
        c.dump = folder + "/" + dumps.first();
        c.text = fixtures::readFile(c.dump);
        QString name = dumps.first();
        if (name.endsWith(".part"))
            name.chop(5);
        c.marker = QFileInfo::exists(folder + "/" + name + ".pending");
    }
    return c;
}

} // namespace

class TestCrashHandler : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        if (!zua::crash::threadStacksWrapped())
            QSKIP("sanitizer builds report crashes their own way");
    }
    void everyKindOfCrashLeavesACompleteDump_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("where"); // a function on the crashing thread's stack
        QTest::newRow("inside the allocator") << "allocator"
                                              << "malloc_stats";
        QTest::newRow("stack overflow in a std::thread") << "std-thread-overflow"
                                                         << "deeper";
        QTest::newRow("stack overflow in a QThread") << "qthread-overflow"
                                                     << "deeper";
    }
    void everyKindOfCrashLeavesACompleteDump()
    {
        QFETCH(QString, kind);
        QFETCH(QString, where);
        const QString folder = m_dir.filePath(kind);
        const Crash c = crash(kind, folder);
        QVERIFY2(c.ended, "the crashed process did not end");
        QVERIFY(c.signal);
        QVERIFY2(c.dump.endsWith(".dmp"), qPrintable(c.dump)); // complete, renamed into place
        QVERIFY(c.marker);
        QVERIFY2(c.text.size() >= 1024, c.text.constData());
        QVERIFY2(c.text.startsWith("SIGSEGV"), c.text.left(200).constData());
        // Every thread, symbolised: the waiting ones and the crashing one.
        QVERIFY2(c.text.count("Thread ") >= 3, c.text.constData());
        QVERIFY2(c.text.contains(where.toUtf8()), c.text.constData());
        QVERIFY2(!c.text.contains("could not be read"), c.text.constData());
    }
    void twoCrashesAtOnceOrAHungHelperStillShowTheCrash_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<bool>("everyThread");
        QTest::newRow("two threads crash at once") << "two-at-once" << true;
        QTest::newRow("the dump helper hangs") << "hung-helper" << false;
    }
    void twoCrashesAtOnceOrAHungHelperStillShowTheCrash()
    {
        // The second crash waits for the first one's dump; a helper that hangs is given
        // up. Either way the dump is complete under its name, with the crashing thread's
        // own stack.
        QFETCH(QString, kind);
        QFETCH(bool, everyThread);
        const QString folder = m_dir.filePath(kind);
        const Crash c = crash(kind, folder);
        QVERIFY2(c.ended, "the crashed process did not end");
        QVERIFY(c.signal);
        QVERIFY2(c.dump.endsWith(".dmp"), qPrintable(c.dump));
        QVERIFY(c.marker);
        QVERIFY2(c.text.startsWith("SIGSEGV"), c.text.left(200).constData());
        const int ownFrames = c.text.mid(c.text.indexOf("Crashing thread:")).count("[0x");
        QVERIFY2(ownFrames >= 3, c.text.constData());
        if (everyThread)
            QVERIFY2(c.text.contains("nullWrite") && c.text.count("Thread ") >= 3,
                     c.text.constData());
        else
            QVERIFY2(c.text.contains("every thread could not be read"), c.text.constData());
    }
    void theHelperAsksNoServer()
    {
        QTcpServer server;
        QVERIFY(server.listen(QHostAddress::LocalHost));
        int connections = 0;
        connect(&server, &QTcpServer::newConnection, [&] {
            ++connections;
            delete server.nextPendingConnection();
        });
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("DEBUGINFOD_URLS", QString("http://127.0.0.1:%1").arg(server.serverPort()));
        const QString folder = m_dir.filePath("debuginfod");
        const Crash c = crash("std-thread-overflow", folder, env);
        QVERIFY(c.ended);
        QVERIFY2(c.text.contains("deeper"), c.text.constData());
        QTest::qWait(200);
        QCoreApplication::processEvents();
        QCOMPARE(connections, 0);
    }

private:
    QTemporaryDir m_dir;
};

int main(int argc, char **argv)
{
    if (argc == 4 && qstrcmp(argv[1], "--crash") == 0) {
        QCoreApplication app(argc, argv);
        return crashChild(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]));
    }
    QCoreApplication app(argc, argv);
    TestCrashHandler test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_crashhandler.moc"
