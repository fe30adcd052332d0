// Toolkit value kinds: exact text forms, readers and their malformed inputs.
#include "common/ValueQt.h"

#include <QtTest>

#include <cstdio>
#include <unistd.h>

using bg::Value;
using bg::ValueQt;
using bg::ValueQtG;
Q_DECLARE_METATYPE(bg::Value)

namespace {
// Captures what a call prints to standard error.
template <typename F> QByteArray captureStderr(F f)
{
    std::fflush(stderr);
    QTemporaryFile file;
    file.open();
    const int saved = dup(2);
    dup2(file.handle(), 2);
    f();
    std::fflush(stderr);
    dup2(saved, 2);
    close(saved);
    file.seek(0);
    return file.readAll();
}
} // namespace

class TestValueQt : public QObject {
    Q_OBJECT
private slots:
    void writtenForms_data()
    {
        QTest::addColumn<Value>("value");
        QTest::addColumn<QString>("text");
        QTest::newRow("point") << Value(ValueQt(QPoint(3, -4))) << "[point]x:3;y:-4";
        QTest::newRow("pointf") << Value(ValueQt(QPointF(1.5, -2)))
                                << "[pointf]x:1.500000;y:-2.000000";
        QTest::newRow("rect") << Value(ValueQt(QRect(1, 2, 30, 40))) << "[rect]x:1;y:2;w:30;h:40";
        QTest::newRow("rectf") << Value(ValueQt(QRectF(0.5, 0, 1, 2)))
                               << "[rectf]x:0.500000;y:0.000000;w:1.000000;h:2.000000";
        QTest::newRow("size") << Value(ValueQt(QSize(1920, 1080))) << "[size]w:1920;h:1080";
        QTest::newRow("sizef") << Value(ValueQt(QSizeF(0.25, 4))) << "[sizef]w:0.250000;h:4.000000";
        QTest::newRow("colour") << Value(ValueQtG(QColor(18, 52, 86))) << "[color]#123456";
        QTest::newRow("qstr") << Value(ValueQt::qstr("abc")) << "[qstr:3]abc";
    }
    void writtenForms()
    {
        QFETCH(Value, value);
        QFETCH(QString, text);
        QCOMPARE(QString::fromStdString(value.write()), text);
        Value back;
        QVERIFY(back.read(text.toStdString()));
        QCOMPARE(back.type(), value.type());
        QCOMPARE(QString::fromStdString(back.write()), text);
    }
    void incompleteBodiesReadEmpty_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::newRow("point missing y") << QByteArray("[point]x:3");
        QTest::newRow("rect three fields") << QByteArray("[rect]x:1;y:2;w:3");
        QTest::newRow("sizef not a number") << QByteArray("[sizef]w:a;h:1");
        QTest::newRow("label too long") << QByteArray("[point]abcdefghijk:3;y:4");
        QTest::newRow("no bracket") << QByteArray("[point");
        QTest::newRow("short") << QByteArray("abc");
        QTest::newRow("bad colour") << QByteArray("[color]#12345");
        QTest::newRow("type not exact") << QByteArray("[rects]x:1;y:2;w:3;h:4");
    }
    void incompleteBodiesReadEmpty()
    {
        QFETCH(QByteArray, text);
        ValueQt v(QPoint(9, 9));
        QVERIFY(!v.read(text.constData()));
        QVERIFY(v.isEmpty());
    }
    void floatsAreWrittenWithSixDecimals()
    {
        ValueQt v;
        QVERIFY(v.read("[rectf]x:0.1234567;y:0;w:1;h:1"));
        QCOMPARE(QString::fromStdString(v.write()),
                 QString("[rectf]x:0.123457;y:0.000000;w:1.000000;h:1.000000"));
        // Values too long for a fixed buffer are still written whole.
        const ValueQt huge(QRectF(1e300, 0, 1, 1));
        ValueQt back;
        QVERIFY(back.read(huge.write()));
        QCOMPARE(back.toRectF().x(), 1e300);
    }
    void countedStrings()
    {
        ValueQt v;
        QVERIFY(v.read("[qstr:3]abcdef"));
        QCOMPARE(v.toBytes(), QByteArray("abc"));
        QByteArray err = captureStderr([&] { QVERIFY(!v.read("[qstr:]abc")); });
        QCOMPARE(err, QByteArray("> bg::Value:read() err: type='qstr:', missing 'len'.\n"));
        QVERIFY(v.isEmpty());
        // A count beyond the text is refused instead of reading past it.
        QVERIFY(!v.read("[qstr:99]abc"));
        QVERIFY(v.read("[qstr:0]"));
        QCOMPARE(v.toBytes(), QByteArray());
    }
};

QTEST_GUILESS_MAIN(TestValueQt)
#include "tst_valueqt.moc"
