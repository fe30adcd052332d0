// Property panels on their own: each edit sends one map naming its key, size and
// stretch commands, the subtitle and transition panels, template names, the wheel only
// on a focused control, and the crop editor's frame keeps to the picture and its
// minimum size.
#include "common/FileDialogs.h"
#include "common/ValueQt.h"
#include "common/WheelNeedsFocus.h"
#include "common/ZuTransLator.h"
#include "menu/CropView.h"
#include "menu/QtGraphicsResizerItem.h"
#include "menu/SubtitleMenu.h"
#include "menu/TransMenu.h"
#include "menu/VisualMenu.h"
#include "support/Typing.h"
#include "timeline/SubtitleTemplateWidget.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSlider>
#include <QtTest>

namespace {

bg::ValueMap clipMap()
{
    bg::ValueMap m;
    m["uuid"] = bg::Value("clip-1");
    m["path"] = bg::Value("/media/holiday/beach day.mp4");
    m["X"] = bg::Value(12.9);
    m["Y"] = bg::Value(-7.6);
    m["W"] = bg::Value(640.0);
    m["H"] = bg::Value(360.0);
    m["rotate"] = bg::Value(int32_t(-30));
    m["transparent"] = bg::Value(int32_t(200));
    m["volume"] = bg::Value(int32_t(40));
    m["mute"] = bg::Value(true);
    m["rect"] = bg::ValueQt(QRect(10, 20, 300, 200));
    m["size"] = bg::ValueQt(QSize(1280, 720));
    m["strech"] = bg::Value(int32_t(0));
    m["hue"] = bg::Value(int32_t(-12));
    m["highlight"] = bg::Value(int32_t(33));
    return m;
}

// The last map sent, its key and type.
struct Sent {
    int type = -1;
    bg::ValueMap map;
    std::string key;
    int count = 0;
};

template <class Panel> void listen(Panel *panel, Sent *sent)
{
    QObject::connect(panel, &Panel::sig_updateData,
                     [sent](MenuType type, const bg::ValueMap &map, const std::string &key) {
                         sent->type = type;
                         sent->map = map;
                         sent->key = key;
                         ++sent->count;
                     });
}

template <class W> W *child(QWidget *panel, const char *name)
{
    W *w = panel->findChild<W *>(QString::fromLatin1(name));
    if (!w)
        qWarning("no %s", name);
    return w;
}

void finish(QSpinBox *box, int value)
{
    fixtures::typeInto(box, QString::number(value));
}

} // namespace

class TestPanels : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        m_translator = std::make_unique<ZuTransLator>(QStringLiteral(":/language/en-Us-new.ini"));
        QApplication::installTranslator(m_translator.get());
    }
    void eachEditSendsItsKey()
    {
        VideoMenu video;
        Sent sent;
        listen(&video, &sent);
        video.show();
        video.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&video));
        video.UpdateData(clipMap());
        child<QSpinBox>(&video, "videoX")->setFocus();
        QTRY_VERIFY(child<QSpinBox>(&video, "videoX")->hasFocus());
        finish(child<QSpinBox>(&video, "videoX"), 99);
        child<QSpinBox>(&video, "videoY")->setFocus(); // leaving the box sends nothing more
        QTRY_VERIFY(!child<QSpinBox>(&video, "videoX")->hasFocus());
        QCOMPARE(sent.type, int(MENU_VIDEO));
        QCOMPARE(sent.key, std::string("X"));
        QCOMPARE(sent.map.at("X").toDouble(), 99.0);
        QCOMPARE(sent.map.at("W").toDouble(), 640.0);
        QCOMPARE(sent.map.at("sizeType").toInt32(), 0);
        QCOMPARE(bg::ValueQt(sent.map.at("rect")).toRect(), QRect(10, 20, 300, 200));
        QCOMPARE(sent.count, 1); // giving up the focus does not send it twice

        finish(child<QSpinBox>(&video, "spinBox_saturability"), 25);
        QCOMPARE(sent.key, std::string("saturation"));
        QCOMPARE(sent.map.at("saturation").toInt32(), 25);
        // Typed "300": the box refuses the digit that would pass its maximum of 255.
        finish(child<QSpinBox>(&video, "videoTransparency"), 300);
        QCOMPARE(sent.key, std::string("transparent"));
        QCOMPARE(sent.map.at("transparent").toInt32(), 30);
        child<QCheckBox>(&video, "videoMute")->click();
        QCOMPARE(sent.key, std::string("mute"));
        QCOMPARE(sent.map.at("mute").toBool(), false);
        video.slot_updateClipRect(QStringLiteral("123"), QRect(0, 0, 640, 360));
        QCOMPARE(sent.key, std::string("rect"));
        QCOMPARE(bg::ValueQt(sent.map.at("rect")).toRect(), QRect(0, 0, 640, 360));

        ImageMenu image;
        listen(&image, &sent);
        image.UpdateData(clipMap());
        finish(child<QSpinBox>(&image, "imageAngle"), 45);
        QCOMPARE(sent.type, int(MENU_PICTURE));
        QCOMPARE(sent.key, std::string("rotate"));
        QVERIFY(!sent.map.count("volume"));
        fixtures::typeInto(child<QLineEdit>(&image, "imageName"), "sunset");
        QCOMPARE(sent.key, std::string()); // a rename names no property
    }
    void sizeCommandsAndStretchMode()
    {
        ImageMenu image;
        Sent sent;
        listen(&image, &sent);
        image.UpdateData(clipMap());
        child<QPushButton>(&image, "initialSize")->click();
        QCOMPARE(sent.key, std::string("sizeType"));
        QCOMPARE(sent.map.at("sizeType").toInt32(), 1);
        child<QPushButton>(&image, "stretch")->click();
        QCOMPARE(sent.key, std::string("strech"));
        QCOMPARE(sent.map.at("strech").toInt32(), 0);
        QCOMPARE(sent.map.at("sizeType").toInt32(), 2);
        child<QPushButton>(&image, "selfAdaption")->click();
        QCOMPARE(sent.map.at("strech").toInt32(), 1);
        QCOMPARE(sent.map.at("sizeType").toInt32(), 3);
        QVERIFY(child<QRadioButton>(&image, "radioButton_aspect")->isChecked());
        // The command lasts one map: the next edit carries 0.
        finish(child<QSpinBox>(&image, "imageX"), 5);
        QCOMPARE(sent.map.at("sizeType").toInt32(), 0);
        child<QRadioButton>(&image, "radioButton_fill")->click();
        QCOMPARE(sent.key, std::string("strech"));
        QCOMPARE(sent.map.at("strech").toInt32(), 0);
    }
    void subtitlePanelSendsFontColourAndText()
    {
        SubtitleMenu panel;
        Sent sent;
        listen(&panel, &sent);
        QFont bold(QStringLiteral("DejaVu Sans"), 36);
        bold.setBold(true);
        bg::ValueMap a, b;
        a["font"] = bg::Value(bold.toString().toStdString());
        a["color"] = bg::Value("#12ab34");
        a["content"] = bg::Value("Hello");
        a["X"] = bg::Value(10.7);
        b = a;
        b["font"] = bg::Value(QFont(QStringLiteral("DejaVu Sans"), 20).toString().toStdString());
        b["content"] = bg::Value("World");
        // Two subtitle clips in turn, one bold: the panel follows and sends nothing.
        panel.UpdateData(a);
        QVERIFY(child<QPushButton>(&panel, "bold")->isChecked());
        QCOMPARE(child<QComboBox>(&panel, "fontSize")->currentText(), QString("36"));
        panel.UpdateData(b);
        QVERIFY(!child<QPushButton>(&panel, "bold")->isChecked());
        QCOMPARE(child<QComboBox>(&panel, "fontSize")->currentText(), QString("20"));
        QCOMPARE(child<QSpinBox>(&panel, "subtitleX")->value(), 10);
        QCOMPARE(sent.count, 0);
        // A size not in the list (an older project's 30) is shown as it is, and a style
        // toggled then keeps it; the next clip's panel drops the extra entry.
        bg::ValueMap odd = b;
        odd["font"] = bg::Value(QFont(QStringLiteral("DejaVu Sans"), 30).toString().toStdString());
        panel.UpdateData(odd);
        auto *sizes = child<QComboBox>(&panel, "fontSize");
        QCOMPARE(sizes->currentText(), QString("30"));
        QCOMPARE(sizes->itemText(sizes->currentIndex() - 1), QString("28"));
        child<QPushButton>(&panel, "underline")->click();
        QFont kept;
        QVERIFY(kept.fromString(QString::fromStdString(sent.map.at("font").toStdString())));
        QCOMPARE(kept.pointSize(), 30);
        QVERIFY(kept.underline());
        sent.count = 0;
        panel.UpdateData(b);
        QCOMPARE(sizes->currentText(), QString("20"));
        QCOMPARE(sizes->findText("30"), -1);

        // Each keystroke is one "content" edit.
        auto *text = child<QPlainTextEdit>(&panel, "subtitleTextEdit");
        text->moveCursor(QTextCursor::End);
        QTest::keyClicks(text, "abc");
        QCOMPARE(sent.count, 3);
        QCOMPARE(sent.key, std::string("content"));
        QCOMPARE(sent.map.at("content").toStdString(), std::string("Worldabc"));
        // A paste with control characters: dropped where they land, the caret after it.
        text->insertPlainText(QString::fromUtf8("x\x0by\x0c"));
        QCOMPARE(text->toPlainText(), QString("Worldabcxy"));
        QCOMPARE(sent.map.at("content").toStdString(), std::string("Worldabcxy"));
        QCOMPARE(text->textCursor().position(), 10);

        // Style and size: "font" with the description of what the controls say.
        child<QPushButton>(&panel, "italic")->click();
        QCOMPARE(sent.key, std::string("font"));
        QFont sentFont;
        QVERIFY(sentFont.fromString(QString::fromStdString(sent.map.at("font").toStdString())));
        QVERIFY(sentFont.italic());
        QCOMPARE(sentFont.pointSize(), 20);
        child<QComboBox>(&panel, "fontSize")->setCurrentText("72");
        sentFont.fromString(QString::fromStdString(sent.map.at("font").toStdString()));
        QCOMPARE(sentFont.pointSize(), 72);

        // The colour dialog: cancelled sends nothing; a choice sends "color".
        const int before = sent.count;
        FileDialogs::setHook([](const QString &, const QString &) { return QString(); });
        child<QPushButton>(&panel, "colorBtn")->click();
        QCOMPARE(sent.count, before);
        FileDialogs::setHook([](const QString &kind, const QString &) {
            return kind == "colour" ? QStringLiteral("#00ff00") : QString();
        });
        child<QPushButton>(&panel, "colorBtn")->click();
        FileDialogs::setHook(nullptr);
        QCOMPARE(sent.key, std::string("color"));
        QCOMPARE(sent.map.at("color").toStdString(), std::string("#00ff00"));
    }
    void transitionPanelKeepsSliderAndAlignmentInStep()
    {
        TransMenu panel;
        Sent sent;
        listen(&panel, &sent);
        bg::ValueMap m;
        m["direction"] = bg::Value(int32_t(0));
        m["type"] = bg::Value("clip_radial");
        m["duration"] = bg::Value(int64_t(2000));
        m["value"] = bg::Value(int32_t(5));
        panel.UpdateData(m);
        QCOMPARE(sent.count, 0);
        QCOMPARE(child<QLabel>(&panel, "transLabel")->text(), QString("Transition at one clip's start or end"));
        QVERIFY(!child<QComboBox>(&panel, "ComboBox_align")->isEnabled());
        QVERIFY(!child<QSlider>(&panel, "Slider_align")->isEnabled());
        QCOMPARE(child<QComboBox>(&panel, "transTypeComboBox")->currentText(),
                 QString("Radial Wipe"));
        QCOMPARE(child<QSpinBox>(&panel, "SpinBox_time")->value(), 2000);

        m["direction"] = bg::Value(int32_t(-1));
        panel.UpdateData(m);
        QCOMPARE(child<QLabel>(&panel, "transLabel")->text(), QString("Transition to the next clip"));
        auto *align = child<QComboBox>(&panel, "ComboBox_align");
        auto *slider = child<QSlider>(&panel, "Slider_align");
        QVERIFY(align->isEnabled());
        // Dragged to 3 and released: "Split Custom", ratio 3.
        slider->setValue(3);
        emit slider->sliderReleased();
        QCOMPARE(align->currentText(), QString("Split Custom"));
        QCOMPARE(sent.count, 1);
        QCOMPARE(sent.map.at("value").toInt32(), 3);
        QCOMPARE(sent.key, std::string());
        // "Split End": the slider goes to 10, and only one map is sent.
        align->setCurrentText("Split End");
        QCOMPARE(slider->value(), 10);
        QCOMPARE(sent.count, 2);
        QCOMPARE(sent.map.at("value").toInt32(), 10);
        // The effect goes out as its program name.
        child<QComboBox>(&panel, "transTypeComboBox")->setCurrentText("Iris Box");
        QCOMPARE(sent.map.at("type").toStdString(), std::string("clip_box"));
        QCOMPARE(sent.map.at("duration").toInt32(), 2000);
        // A name outside the catalogue shows no effect.
        m["type"] = bg::Value("no_such_program");
        panel.UpdateData(m);
        QCOMPARE(child<QComboBox>(&panel, "transTypeComboBox")->currentText(), QString());
        // Short clips: the longest the transition can be is the box's maximum.
        m["maxDuration"] = bg::Value(int64_t(1500));
        panel.UpdateData(m);
        QCOMPARE(child<QSpinBox>(&panel, "SpinBox_time")->maximum(), 1500);
        QCOMPARE(child<QSpinBox>(&panel, "SpinBox_time")->value(), 1500);
    }
    void templateNamesKeepToThirtyCharacters()
    {
        SubtitleTemplateWidget window;
        window.show();
        QStringList names;
        connect(&window, &SubtitleTemplateWidget::sig_createResSubtitle,
                [&](const QString &name, const QFont &, const QColor &) { names << name; });
        child<QCheckBox>(&window, "labelCB")->setChecked(true);
        QTest::keyClicks(child<QLineEdit>(&window, "labelLE"), QString(40, 'x'));
        child<QPushButton>(&window, "createSubtitleTemplate")->click();
        QCOMPARE(names, QStringList{QString(30, 'x')});
    }
    void escapeClosesTheSizeListFirst()
    {
        // Escape with the font size list open closes the list; the window with the
        // user's settings stays until Escape is pressed again.
        SubtitleTemplateWidget window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QApplication::setActiveWindow(&window);
        auto *sizes = child<QComboBox>(&window, "fontSizeBox");
        sizes->setFocus();
        sizes->showPopup();
        QTRY_VERIFY(QApplication::activePopupWidget());
        // A real key press: Qt matches window shortcuts before the list sees the key.
        QCOMPARE(QProcess::execute("xdotool", {"key", "Escape"}), 0);
        QTRY_VERIFY(!QApplication::activePopupWidget());
        QTest::qWait(50);
        QVERIFY(window.isVisible());
        QTest::keyClick(sizes, Qt::Key_Escape);
        QVERIFY(!window.isVisible());
    }
    void cropFrameKeepsItsMinimumAndThePicture()
    {
        CropView view;
        view.resize(400, 300);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        view.setClip(QStringLiteral("c"), QSize(1920, 1080), QRect(100, 100, 800, 600));
        QtGraphicsResizerItem *frame = view.resizer();
        QCOMPARE(frame->handles().size(), 8);

        // The top-left corner dragged past the bottom-right stops at 50 × 50.
        frame->dragHandle(HandleItem::Left | HandleItem::Top, QPointF(2000, 2000));
        QCOMPARE(frame->rect(), QRectF(850, 650, 50, 50));

        // The same rectangle twice moves the handles once.
        const int placed = frame->placements();
        frame->setRect(QRectF(100, 100, 800, 600));
        frame->setRect(QRectF(100, 100, 800, 600));
        QCOMPARE(frame->placements(), placed + 1);

        // Dragging the frame far right stops with its right side on the picture's edge.
        QSignalSpy reports(&view, &CropView::sig_updateClipRect);
        const QPoint inside = view.mapFromScene(QPointF(500, 400));
        QTest::mousePress(view.viewport(), Qt::LeftButton, {}, inside);
        QMouseEvent move(QEvent::MouseMove, view.mapFromScene(QPointF(3000, 400)), Qt::NoButton,
                         Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(view.viewport(), &move);
        QTest::mouseRelease(view.viewport(), Qt::LeftButton, {},
                            view.mapFromScene(QPointF(3000, 400)));
        QCOMPARE(frame->rect().right(), 1920.0);
        QCOMPARE(frame->rect().size(), QSizeF(800, 600));
        QCOMPARE(reports.size(), 1);
        QCOMPARE(reports[0][1].toRect(), frame->rect().toRect());

        // A click without moving reports once too.
        QTest::mouseClick(view.viewport(), Qt::LeftButton, {},
                          view.mapFromScene(QPointF(1500, 400)));
        QCOMPARE(reports.size(), 2);
    }
    void wheelChangesOnlyAFocusedControl()
    {
        WheelNeedsFocus::install(); // as the editor does at start
        VideoMenu video;
        Sent sent;
        listen(&video, &sent);
        video.resize(300, 200); // short: the page scrolls
        video.show();
        QVERIFY(QTest::qWaitForWindowExposed(&video));
        video.UpdateData(clipMap());
        auto *angle = child<QSpinBox>(&video, "videoAngle");
        auto *scroll = video.findChild<QScrollArea *>("scrollArea_edit");
        QVERIFY(scroll && scroll->verticalScrollBar()->maximum() > 0);
        auto turn = [](QWidget *w) {
            const QPointF at(w->width() / 2.0, w->height() / 2.0);
            QWheelEvent wheel(at, QPointF(w->mapToGlobal(at.toPoint())), QPoint(), QPoint(0, -120),
                              Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
            QApplication::sendEvent(w, &wheel);
        };
        const int value = angle->value();
        const int scrolled = scroll->verticalScrollBar()->value();
        turn(angle);
        QCOMPARE(angle->value(), value);
        QCOMPARE(sent.count, 0);
        QVERIFY(!angle->hasFocus());
        QVERIFY(scroll->verticalScrollBar()->value() > scrolled); // the page moved instead
        video.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&video));
        angle->setFocus();
        QTRY_VERIFY(angle->hasFocus());
        turn(angle);
        QCOMPARE(angle->value(), value - 1);
    }

private:
    std::unique_ptr<ZuTransLator> m_translator;
};

QTEST_MAIN(TestPanels)
#include "tst_panels.moc"
