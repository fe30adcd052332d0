// Value bridge services: logger lines, settings store, sealing and the event
// channel.
#include "bridge/Bridge.h"

#include <QRegularExpression>
#include <QSignalSpy>
#include <QtTest>

#include <thread>
#include <vector>

class TestBridge : public QObject {
    Q_OBJECT
private slots:
    void logLinesHaveTheFixedFormat();
    void logLinesFromManyThreadsStayWhole();
    void settingsGetSetSaveClear();
    void sealingNeedsTheKeyAndDetectsTampering();
    void eventsReachSubscribersOnTheirThread();

private:
    QString freshLogFile();
    QTemporaryDir m_dir;
};

QString TestBridge::freshLogFile()
{
    static int n = 0;
    const QString path = m_dir.filePath(QString("log%1/zua.log").arg(++n));
    bg::Logger::instance().setLogFilePath(path.toStdString());
    return path;
}

static QByteArray readAll(const QString &path)
{
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    return f.readAll();
}

void TestBridge::logLinesHaveTheFixedFormat()
{
    const QString path = freshLogFile();
    QCOMPARE(QString::fromStdString(bg::Logger::instance().logFilePath()), path);
    const int line = __LINE__ + 1;
    BG_LOG_E("---> 打开失败: %s %d", "a.mp4", 7);
    BG_LOG_W("warn");
    BG_LOG_D("debug %s", "trace");
    const QStringList lines = QString::fromUtf8(readAll(path)).split('\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 3);

    const QString expectedTail = QString("[E][bg] tst_bridge.cpp %1: \"---> 打开失败: a.mp4 7\"")
                                     .arg(QString::number(line).leftJustified(4));
    const QRegularExpression stamp("^\\d{4}-\\d{2}:\\d{2}:\\d{2}");
    QVERIFY2(stamp.match(lines[0]).hasMatch(), qPrintable(lines[0]));
    QCOMPARE(lines[0].mid(13), expectedTail);
    QVERIFY(lines[1].contains("[W][bg] tst_bridge.cpp"));
    QVERIFY(lines[2].contains("[D][bg] tst_bridge.cpp") && lines[2].endsWith("\"debug trace\""));
    QCOMPARE(bg::sourceBaseName("C:\\src\\main\\Entry.cpp"), "Entry.cpp");
    QCOMPARE(bg::sourceBaseName("plain.cpp"), "plain.cpp");
}

void TestBridge::logLinesFromManyThreadsStayWhole()
{
    const QString path = freshLogFile();
    const std::string longText(3000, 'x'); // longer than the logger's stack buffer
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([t, &longText] {
            for (int i = 0; i < 300; ++i)
                BG_LOG_E("thread %d line %d %s", t, i, longText.c_str());
        });
    for (auto &th : threads)
        th.join();
    const QList<QByteArray> lines = readAll(path).split('\n');
    int whole = 0;
    for (const QByteArray &l : lines)
        if (!l.isEmpty()) {
            QVERIFY(l.endsWith(QByteArray(longText.c_str()) + "\""));
            ++whole;
        }
    QCOMPARE(whole, 1200);
}

void TestBridge::settingsGetSetSaveClear()
{
    bg::UserSettings &s = bg::UserSettings::instance();
    const QString file = QString::fromStdString(s.filePath());
    QVERIFY2(file.startsWith(qEnvironmentVariable("XDG_CONFIG_HOME")), qPrintable(file));
    QCOMPARE(s.get("IsEnglish", "简体中文"), std::string("简体中文"));
    s.set("IsEnglish", "English");
    s.set("autoSavePath", "/tmp/a b/~temp_x.zua2");
    QVERIFY(s.save());
    QCOMPARE(s.get("IsEnglish", "x"), std::string("English"));

    // Another reader of the file sees the saved values.
    QSettings other(file, QSettings::IniFormat);
    other.setIniCodec("UTF-8");
    QCOMPARE(other.value("autoSavePath").toString(), QString("/tmp/a b/~temp_x.zua2"));

    s.clear();
    QVERIFY(s.save());
    QCOMPARE(s.get("IsEnglish", "none"), std::string("none"));
    QSettings after(file, QSettings::IniFormat);
    QVERIFY(after.allKeys().isEmpty());
}

void TestBridge::sealingNeedsTheKeyAndDetectsTampering()
{
    const std::string key = "0123456789abcdef";
    const std::string text = "crash report: stack ...";
    const std::string sealed = bg::Encoding::seal(text, key);
    QVERIFY(!sealed.empty());
    QVERIFY(sealed.find("crash") == std::string::npos);
    QVERIFY(sealed != bg::Encoding::seal(text, key)); // a fresh nonce every time
    std::string out;
    QVERIFY(bg::Encoding::unseal(sealed, key, out));
    QCOMPARE(out, text);
    QVERIFY(!bg::Encoding::unseal(sealed, "0123456789abcdeX", out));

    std::string raw;
    bg::Encoding::decode(sealed, raw);
    raw[raw.size() / 2] ^= 1;
    QVERIFY(!bg::Encoding::unseal(bg::Encoding::encode(raw), key, out));
    QVERIFY(bg::Encoding::seal(text, "short").empty());
    QVERIFY(bg::Encoding::unseal(bg::Encoding::seal("", key), key, out));
    QVERIFY(out.empty());
}

void TestBridge::eventsReachSubscribersOnTheirThread()
{
    auto *receiver = new QObject;
    int calls = 0;
    QThread *seenOn = nullptr;
    bg::EventChannel::instance().subscribe("showMini", receiver, [&] {
        ++calls;
        seenOn = QThread::currentThread();
    });
    std::thread poster([] { bg::EventChannel::instance().post("showMini"); });
    poster.join();
    QCOMPARE(bg::EventChannel::instance().post("other"), 0);
    QTRY_COMPARE(calls, 1);
    QCOMPARE(seenOn, QThread::currentThread());

    delete receiver;
    QCOMPARE(bg::EventChannel::instance().post("showMini"), 0);
    QCoreApplication::processEvents();
    QCOMPARE(calls, 1);
}

QTEST_GUILESS_MAIN(TestBridge)
#include "tst_bridge.moc"
