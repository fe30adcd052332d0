// The single-instance guard's shared block, seen from outside: a block left half
// written (its checksum wrong) for more than 5 s is taken over by the next process,
// and a block whose primary is alive keeps later processes secondary. The guarded
// processes are this executable started again with "--guard" (it prints what it became
// and waits to be killed), so that each has its own application object.
#include "main/SingleApplication.h"

#include <QSharedMemory>
#include <QtTest>

#include <csignal>
#include <cstdio>

namespace {

int guardChild(int argc, char **argv)
{
    SingleApplicationWrapper app(argc, argv);
    std::printf("%s %s\n", app.isPrimary() ? "primary" : "secondary", qPrintable(app.blockName()));
    std::fflush(stdout);
    return app.exec(); // killed by the test
}

struct Guarded {
    QProcess process;
    QString role, name;
    bool start(const QString &runtimeFolder = QString())
    {
        if (!runtimeFolder.isEmpty()) {
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.insert("XDG_RUNTIME_DIR", runtimeFolder);
            process.setProcessEnvironment(env);
        }
        process.start(QCoreApplication::applicationFilePath(), {"--guard"});
        if (!process.waitForStarted() || !process.waitForReadyRead(20000))
            return false;
        const QStringList words = QString::fromUtf8(process.readLine()).trimmed().split(' ');
        if (words.size() != 2)
            return false;
        role = words[0];
        name = words[1];
        return true;
    }
    ~Guarded()
    {
        process.kill();
        process.waitForFinished();
    }
};

} // namespace

class TestInstanceGuard : public QObject {
    Q_OBJECT
private slots:
    void aHalfWrittenBlockIsTakenOverAfterFiveSeconds()
    {
        Guarded first;
        QVERIFY(first.start());
        QCOMPARE(first.role, QString("primary"));
        {
            Guarded second; // while the primary lives, the next one is secondary
            QVERIFY(second.start());
            QCOMPARE(second.role, QString("secondary"));
            QCOMPARE(second.name, first.name);
        }

        // The block as a process dying in the middle of writing it would leave it.
        QSharedMemory block(first.name);
        QVERIFY(block.attach());
        QVERIFY(block.lock());
        static_cast<char *>(block.data())[144] ^= 0x5a; // the checksum no longer matches
        QVERIFY(block.unlock());
        ::kill(pid_t(first.process.processId()), SIGKILL);
        first.process.waitForFinished();

        QElapsedTimer t;
        t.start();
        Guarded next;
        QVERIFY(next.start());
        QCOMPARE(next.role, QString("primary"));
        QVERIFY2(t.elapsed() >= 5000, qPrintable(QString::number(t.elapsed())));
        QVERIFY2(t.elapsed() < 15000, qPrintable(QString::number(t.elapsed())));
    }
    void eachLoginSessionHasItsOwnEditor()
    {
        // Two sessions of one user (two runtime folders): an editor in each; a second
        // launch in the same session finds the first.
        QTemporaryDir one, two;
        QFile::setPermissions(one.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QFile::setPermissions(two.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        Guarded first, again, elsewhere;
        QVERIFY(first.start(one.path()));
        QCOMPARE(first.role, QString("primary"));
        QVERIFY(elsewhere.start(two.path()));
        QCOMPARE(elsewhere.role, QString("primary"));
        QVERIFY(first.name != elsewhere.name);
        QVERIFY(again.start(one.path()));
        QCOMPARE(again.role, QString("secondary"));
        // The socket a second launch talks to is in the session's own folder.
        const QStringList sockets = QDir(one.path()).entryList({"zuaedit-*"}, QDir::System);
        QCOMPARE(sockets.size(), 1);
        // A block whose recorded primary is alive but does not listen in this session's
        // folder (as when two sessions' System V keys collide): this launch is the
        // primary of its own session.
        QVERIFY(QFile::remove(one.filePath(sockets[0])));
        Guarded own;
        QVERIFY(own.start(one.path()));
        QCOMPARE(own.role, QString("primary"));
    }
};

int main(int argc, char **argv)
{
    if (argc > 1 && qstrcmp(argv[1], "--guard") == 0)
        return guardChild(argc, argv);
    QCoreApplication app(argc, argv);
    TestInstanceGuard test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_instanceguard.moc"
