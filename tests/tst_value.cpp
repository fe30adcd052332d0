// Built-in value kinds: text forms, round trips and malformed input.
#include "bridge/Value.h"

#include <QtTest>

using bg::Value;
Q_DECLARE_METATYPE(bg::Value)

class TestValue : public QObject {
    Q_OBJECT
private slots:
    void builtInKindsRoundTrip_data()
    {
        QTest::addColumn<Value>("value");
        QTest::addColumn<QString>("text");
        QTest::newRow("true") << Value(true) << "[bool]1";
        QTest::newRow("false") << Value(false) << "[bool]0";
        QTest::newRow("int32 min") << Value(int32_t(INT32_MIN)) << "[int32]-2147483648";
        QTest::newRow("int64 big") << Value(int64_t(1) << 40) << "[int64]1099511627776";
        QTest::newRow("double third") << Value(1.0 / 3.0) << "[double]0.33333333333333331";
        QTest::newRow("string with bracket") << Value("a]b[c") << "[string:5]a]b[c";
        QTest::newRow("utf-8 string") << Value("简体中文") << "[string:12]简体中文";
        QTest::newRow("empty string") << Value("") << "[string:0]";
    }
    void builtInKindsRoundTrip()
    {
        QFETCH(Value, value);
        QFETCH(QString, text);
        QCOMPARE(QString::fromStdString(value.write()), text);
        Value back;
        QVERIFY(back.read(text.toStdString()));
        QCOMPARE(back.type(), value.type());
        QVERIFY(back == value);
    }
    void malformedTextLeavesValueEmpty_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::newRow("too short") << QByteArray("abc");
        QTest::newRow("no bracket") << QByteArray("[int32");
        QTest::newRow("null") << QByteArray("<null>");
        QTest::newRow("unknown kind") << QByteArray("[whatever]12");
        QTest::newRow("int32 overflow") << QByteArray("[int32]2147483648");
        QTest::newRow("int32 trailing junk") << QByteArray("[int32]12x");
        QTest::newRow("int64 empty") << QByteArray("[int64]");
        QTest::newRow("bool two") << QByteArray("[bool]2");
        QTest::newRow("double junk") << QByteArray("[double]1.5e");
        QTest::newRow("string longer than text") << QByteArray("[string:10]abc");
        QTest::newRow("string without length") << QByteArray("[string:]abc");
        QTest::newRow("pointer is never read") << QByteArray("[pointer]");
        QTest::newRow("bracket first") << QByteArray("]1:9a]hi");
    }
    void malformedTextLeavesValueEmpty()
    {
        QFETCH(QByteArray, text);
        Value v(int32_t(7));
        QVERIFY(!v.read(text.constData()));
        QVERIFY(v.isEmpty());
    }
    void variantPrefixReadsRestAsString()
    {
        Value v;
        QVERIFY(v.read("<variant>hello]world"));
        QCOMPARE(v.type(), int(bg::VT_STRING));
        QCOMPARE(QString::fromStdString(v.toStdString()), QString("hello]world"));
        QVERIFY(!v.read(static_cast<const char *>(nullptr)));
    }
    void mapsNestAndRoundTrip()
    {
        bg::ValueMap inner;
        inner["depth"] = Value(int32_t(2));
        inner["none"] = Value();
        bg::ValueMap outer;
        outer["name"] = Value("clip:1;x]");
        outer["inner"] = Value(inner);
        outer["volume"] = Value(0.75);
        const Value v(outer);
        Value back;
        QVERIFY(back.read(v.write()));
        QCOMPARE(back.type(), int(bg::VT_MAP));
        QVERIFY(back == v);
        QCOMPARE(back.toMap()["inner"].toMap()["depth"].toInt32(), 2);
        QVERIFY(back.toMap()["inner"].toMap()["none"].isEmpty());
    }
    void mapsRefuseTruncatedOrRunawayText()
    {
        bg::ValueMap m;
        m["a"] = Value(int32_t(1));
        m["b"] = Value("two");
        const std::string text = Value(m).write();
        for (size_t cut = 6; cut < text.size(); ++cut) {
            Value v;
            QVERIFY2(!v.read(text.substr(0, cut)), text.substr(0, cut).c_str());
        }
        // Trailing garbage after the counted entries is refused too.
        Value v;
        QVERIFY(!v.read(text + "x"));

        // Deep nesting is refused instead of recursing without bound.
        std::string deep = Value(int32_t(1)).write();
        for (int i = 0; i < 100; ++i)
            deep = "[map:1]1:k" + std::to_string(deep.size()) + ":" + deep;
        QVERIFY(!v.read(deep));
    }
};

QTEST_GUILESS_MAIN(TestValue)
#include "tst_value.moc"
