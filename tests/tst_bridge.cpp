// Value bridge services: log lines written by many threads, and sealed settings.
#include "bridge/Bridge.h"
#include "support/Files.h"

#include <QtTest>

#include <thread>
#include <vector>

class TestBridge : public QObject {
    Q_OBJECT
private slots:
    void logLinesFromManyThreadsStayWhole()
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
        const QList<QByteArray> lines = fixtures::readFile(path).split('\n');
        int whole = 0;
        for (const QByteArray &l : lines)
            if (!l.isEmpty()) {
                QVERIFY(l.endsWith(QByteArray(longText.c_str()) + "\""));
                ++whole;
            }
        QCOMPARE(whole, 1200);
    }
    void sealingNeedsTheKeyAndDetectsTampering()
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

private:
    QString freshLogFile()
    {
        static int n = 0;
        const QString path = m_dir.filePath(QString("log%1/zua.log").arg(++n));
        bg::Logger::instance().setLogFilePath(path.toStdString());
        return path;
    }
    QTemporaryDir m_dir;
};

QTEST_GUILESS_MAIN(TestBridge)
#include "tst_bridge.moc"
