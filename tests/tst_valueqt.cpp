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
    void writtenForms_data();
    void writtenForms();
    void readersTakeFieldsByPosition_data();
    void readersTakeFieldsByPosition();
    void incompleteBodiesReadEmpty_data();
    void incompleteBodiesReadEmpty();
    void floatsAreWrittenWithSixDecimals();
    void colourDropsAlpha();
    void countedStrings();
    void fontsKeepTheWholeDescription();
    void kindsSurviveAPlainValueMap();
    void mismatchedKindsAreReported();
};

void TestValueQt::writtenForms_data()
{
    QTest::addColumn<Value>("value");
    QTest::addColumn<QString>("text");
    QTest::newRow("point") << Value(ValueQt(QPoint(3, -4))) << "[point]x:3;y:-4";
    QTest::newRow("pointf") << Value(ValueQt(QPointF(1.5, -2))) << "[pointf]x:1.500000;y:-2.000000";
    QTest::newRow("rect") << Value(ValueQt(QRect(1, 2, 30, 40))) << "[rect]x:1;y:2;w:30;h:40";
    QTest::newRow("rectf") << Value(ValueQt(QRectF(0.5, 0, 1, 2)))
                           << "[rectf]x:0.500000;y:0.000000;w:1.000000;h:2.000000";
    QTest::newRow("size") << Value(ValueQt(QSize(1920, 1080))) << "[size]w:1920;h:1080";
    QTest::newRow("sizef") << Value(ValueQt(QSizeF(0.25, 4))) << "[sizef]w:0.250000;h:4.000000";
    QTest::newRow("colour") << Value(ValueQtG(QColor(18, 52, 86))) << "[color]#123456";
    QTest::newRow("qstr") << Value(ValueQt::qstr("abc")) << "[qstr:3]abc";
}

void TestValueQt::writtenForms()
{
    QFETCH(Value, value);
    QFETCH(QString, text);
    QCOMPARE(QString::fromStdString(value.write()), text);
    Value back;
    QVERIFY(back.read(text.toStdString()));
    QCOMPARE(back.type(), value.type());
    QCOMPARE(QString::fromStdString(back.write()), text);
}

void TestValueQt::readersTakeFieldsByPosition_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("written");
    QTest::newRow("labels ignored") << QByteArray("[point]a:3;b:-4") << "[point]x:3;y:-4";
    QTest::newRow("size labels swapped") << QByteArray("[size]h:5;w:7") << "[size]w:5;h:7";
    QTest::newRow("rect") << QByteArray("[rect]p:1;q:2;r:3;s:4") << "[rect]x:1;y:2;w:3;h:4";
}

void TestValueQt::readersTakeFieldsByPosition()
{
    QFETCH(QByteArray, text);
    QFETCH(QString, written);
    ValueQt v;
    QVERIFY(v.read(text.constData()));
    QCOMPARE(QString::fromStdString(v.write()), written);
}

void TestValueQt::incompleteBodiesReadEmpty_data()
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

void TestValueQt::incompleteBodiesReadEmpty()
{
    QFETCH(QByteArray, text);
    ValueQt v(QPoint(9, 9));
    QVERIFY(!v.read(text.constData()));
    QVERIFY(v.isEmpty());
}

void TestValueQt::floatsAreWrittenWithSixDecimals()
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

void TestValueQt::colourDropsAlpha()
{
    const ValueQtG c(QColor(255, 0, 0, 128));
    QCOMPARE(QString::fromStdString(c.write()), QString("[color]#ff0000"));
    ValueQtG back;
    QVERIFY(back.read(c.write()));
    QCOMPARE(back.toColor(), QColor(255, 0, 0, 255));
    QVERIFY(back.read("[color]red"));
    QCOMPARE(back.toColor(), QColor(Qt::red));
}

void TestValueQt::countedStrings()
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

void TestValueQt::fontsKeepTheWholeDescription()
{
    const QString desc = "Noto Sans CJK SC,24,-1,5,75,1,0,0,0,0";
    ValueQtG v;
    QVERIFY(v.read("[font]" + desc.toStdString()));
    QCOMPARE(v.fontText(), desc);
    QCOMPARE(QString::fromStdString(v.write()), "[font]" + desc);
}

void TestValueQt::kindsSurviveAPlainValueMap()
{
    bg::ValueMap props;
    props["previewRect"] = ValueQt(QRectF(-10, 20, 640, 360));
    props["color"] = ValueQtG(QColor("#00ff80"));
    const Value stored(props);
    Value back;
    QVERIFY(back.read(stored.write()));
    const bg::ValueMap m = back.toMap();
    QCOMPARE(ValueQt(m.at("previewRect")).toRectF(), QRectF(-10, 20, 640, 360));
    QCOMPARE(ValueQtG(m.at("color")).toColor(), QColor("#00ff80"));
}

void TestValueQt::mismatchedKindsAreReported()
{
    const ValueQt point(QPoint(1, 2));
    QByteArray err = captureStderr([&] { point.toRect(); });
    QCOMPARE(err, QByteArray("[bg-value] can't convert type: '35' ---> VT_RECT\n"));
    err = captureStderr([&] { point.toSizeF(); });
    QCOMPARE(err, QByteArray("[bg-value] can't convert type: '35' ---> VT_SIZEF\n"));
    err = captureStderr([&] { ValueQt(QRect(0, 0, 4, 5)).toRect(); });
    QVERIFY(err.isEmpty());
}

QTEST_GUILESS_MAIN(TestValueQt)
#include "tst_valueqt.moc"
