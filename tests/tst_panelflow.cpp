// Panels and the timeline together, as the main window wires them: an edit in a
// panel changes the clip's published value and what is saved, as one undo step
// (a dragged volume slider as one when let go); undo restores it and the panel
// refills without sending anything back.
#include "common/ZuTransLator.h"
#include "menu/VisualMenu.h"
#include "resource/ResourceWidget.h"
#include "support/MediaFixtures.h"
#include "support/TimelineFixture.h"
#include "support/Typing.h"
#include "timeline/ClassifyItem.h"
#include "timeline/SourceItem.h"
#include "timeline/TimelineSection.h"
#include "timeline/TransItem.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <QSlider>
#include <QUndoStack>
#include <QXmlStreamWriter>
#include <QtTest>

namespace {

QString saved(TimelineDocument &model)
{
    QString text;
    QXmlStreamWriter w(&text);
    w.writeStartElement("Timeline");
    TimelineSection::write(model, w, false);
    w.writeEndElement();
    return text;
}

int steps()
{
    return zua::UndoController::instance()->stack()->count();
}

void finish(QWidget *panel, const char *name, int value)
{
    auto *box = panel->findChild<QSpinBox *>(QString::fromLatin1(name));
    QVERIFY2(box, name);
    fixtures::typeInto(box, QString::number(value));
}

} // namespace

class TestPanelFlow : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        m_translator = std::make_unique<ZuTransLator>(QStringLiteral(":/language/en-Us-new.ini"));
        QApplication::installTranslator(m_translator.get());
        QVERIFY(fixtures::ffmpeg({"-f", "lavfi", "-i", "testsrc2=s=320x240:r=30:d=2", "-f", "lavfi",
                                  "-i", "sine=d=2", "-pix_fmt", "yuv420p", "-shortest",
                                  m_dir.filePath("clip.mp4")}));
        QVERIFY(fixtures::ffmpeg({"-f", "lavfi", "-i", "testsrc2=s=200x100", "-frames:v", "1",
                                  m_dir.filePath("logo.png")}));
        QVERIFY(fixtures::ffmpeg({"-f", "lavfi", "-i", "sine=d=2", m_dir.filePath("song.wav")}));
    }
    void init()
    {
        m_timeline = std::make_unique<fixtures::Timeline>(false);
        m_timeline->model.setRenderSize(QSize(1280, 720));
        m_resource = std::make_unique<ResourceWidget>();
        TimeLineGraphicsScene *scene = &m_timeline->scene;
        connect(scene, &TimeLineGraphicsScene::sig_showMenu, m_resource.get(),
                &ResourceWidget::slot_showMenu);
        connect(m_resource.get(), &ResourceWidget::sig_updateData, scene,
                [this, scene](MenuType type, const bg::ValueMap &map, const std::string &key) {
                    ++m_sentBack;
                    scene->slot_updateData(type, map, key);
                });
        m_sentBack = 0;
    }
    void cleanup()
    {
        m_resource.reset();
        m_timeline.reset();
    }
    void placementAndColourAreUndoableSteps()
    {
        SourceItem *clip = open(CT_VIDEO, "clip.mp4");
        QVERIFY(clip);
        QWidget *panel = m_resource->menu(MENU_VIDEO);
        QVERIFY(m_resource->showsMenu());
        const int before = steps();
        const QRectF placed = clip->previewRect;
        finish(panel, "videoX", 150);
        finish(panel, "videoAngle", 30);
        finish(panel, "spinBox_bright", 20);
        QCOMPARE(steps(), before + 3);
        QCOMPARE(clip->previewRect.x(), 150.0);
        // Each size box changes its own side only.
        finish(panel, "videoWidth", 640);
        QCOMPARE(clip->previewRect.size(), QSizeF(640, placed.height()));
        finish(panel, "videoHeight", 360);
        QCOMPARE(clip->previewRect.size(), QSizeF(640, 360));
        QVERIFY(zua::UndoController::instance()->undo());
        QVERIFY(zua::UndoController::instance()->undo());
        QCOMPARE(clip->previewRect.size(), placed.size());
        QCOMPARE(clip->value("rotate").toInt32(), 30);
        QCOMPARE(clip->value("bright").toInt32(), 20);
        const QString file = saved(m_timeline->model);
        QVERIFY(file.contains("<roration>30</roration>"));
        QVERIFY(file.contains("<bright>20</bright>"));

        // Undo restores the clip; the panel shows it again and sends nothing.
        const int sent = m_sentBack;
        QVERIFY(zua::UndoController::instance()->undo());
        QCOMPARE(clip->bright, 0);
        QCOMPARE(panel->findChild<QSpinBox *>("spinBox_bright")->value(), 0);
        QVERIFY(zua::UndoController::instance()->undo());
        QCOMPARE(panel->findChild<QSpinBox *>("videoAngle")->value(), 0);
        QVERIFY(zua::UndoController::instance()->redo());
        QCOMPARE(panel->findChild<QSpinBox *>("videoAngle")->value(), 30);
        QCOMPARE(m_sentBack, sent);

        // Finishing an edit that changed nothing records nothing.
        const int now = steps();
        finish(panel, "videoX", 150);
        QCOMPARE(steps(), now);
    }
    void volumeAndMuteAreUndoableSteps_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("prefix");
        QTest::newRow("music") << int(CT_AUDIO) << "audio";
        QTest::newRow("video with sound") << int(CT_VIDEO) << "video";
    }
    void volumeAndMuteAreUndoableSteps()
    {
        QFETCH(int, kind);
        QFETCH(QString, prefix);
        SourceItem *clip = open(uint32_t(kind), kind == CT_AUDIO ? "song.wav" : "clip.mp4");
        QVERIFY(clip);
        QWidget *panel = m_resource->menu(clip->menuType());
        auto *slider = panel->findChild<QSlider *>(prefix + "VolumeSlider");
        auto *label = panel->findChild<QLabel *>(prefix + "VOLLabel");
        QVERIFY(slider && label);
        QCOMPARE(label->text(), QString("0.0 dB")); // as recorded
        const int before = steps();
        // Dragged: heard as it moves, one step when let go, undone to where it began.
        slider->setSliderDown(true);
        for (int v : {110, 96, 64})
            slider->setValue(v);
        QCOMPARE(clip->volume, 64);
        QCOMPARE(steps(), before);
        QCOMPARE(label->text(), QString("-6.0 dB"));
        slider->setSliderDown(false);
        QCOMPARE(steps(), before + 1);
        QVERIFY(zua::UndoController::instance()->undo());
        QCOMPARE(clip->volume, 128);
        QCOMPARE(slider->value(), 128);
        QVERIFY(zua::UndoController::instance()->redo());
        QCOMPARE(clip->volume, 64);
        // A key on the slider is a step of its own, and so is mute.
        slider->triggerAction(QAbstractSlider::SliderSingleStepSub);
        QCOMPARE(clip->volume, 63);
        QCOMPARE(steps(), before + 2);
        panel->findChild<QCheckBox *>(prefix + "Mute")->click();
        QVERIFY(clip->mute);
        QCOMPARE(steps(), before + 3);
        QVERIFY(saved(m_timeline->model).contains("<volumn>0</volumn>")); // muted saves 0
        QVERIFY(zua::UndoController::instance()->undo());
        QVERIFY(!clip->mute);
        slider->setValue(0);
        QCOMPARE(label->text(), QString("-\u221e dB"));
    }
    void subtitleTextAndFontAreUndoable()
    {
        TimelineDocument &model = m_timeline->model;
        SourceItem *clip = model.createClip(model.group(CT_SUBTITLE), CT_SUBTITLE, QString(), 0,
                                            Qt::white, QFont(QStringLiteral("DejaVu Sans"), 28));
        QVERIFY(clip);
        m_timeline->scene.showMenu(clip, clip->menuType(), 2, clip->panelValues());
        QWidget *panel = m_resource->menu(MENU_SUBTITLE);
        QVERIFY(panel);
        const QString before = clip->content;
        const int steps0 = steps();
        auto *text = panel->findChild<QPlainTextEdit *>("subtitleTextEdit");
        text->moveCursor(QTextCursor::End);
        // The history's clock stands still unless the test moves it.
        auto now = std::chrono::steady_clock::now();
        zua::UndoController::instance()->setClock([&now] { return now; });
        auto realClock = qScopeGuard([] { zua::UndoController::instance()->setClock({}); });
        // Two words typed without a pause: a step per word, not per letter.
        QTest::keyClicks(text, " big day");
        QCOMPARE(clip->content, before + " big day");
        QCOMPARE(steps(), steps0 + 2);
        panel->findChild<QPushButton *>("bold")->click();
        QVERIFY(clip->font.bold());
        QVERIFY(saved(m_timeline->model)
                    .contains(QString("<content>%1 big day</content>").arg(before)));
        QVERIFY(zua::UndoController::instance()->undo());
        QVERIFY(!clip->font.bold());
        QVERIFY(!panel->findChild<QPushButton *>("bold")->isChecked());
        // Undoing a word leaves the caret where the word was, not at the start.
        QVERIFY(zua::UndoController::instance()->undo());
        QCOMPARE(clip->content, before + " big ");
        QCOMPARE(text->toPlainText(), before + " big ");
        QCOMPARE(text->textCursor().position(), (before + " big ").size());
        QVERIFY(zua::UndoController::instance()->redo());
        QCOMPARE(text->toPlainText(), before + " big day");
        QCOMPARE(text->textCursor().position(), (before + " big day").size());

        // After a pause, the next letter is a step of its own.
        text->moveCursor(QTextCursor::End);
        QTest::keyClicks(text, "!");
        now += std::chrono::milliseconds(1100);
        QTest::keyClicks(text, "!");
        QVERIFY(zua::UndoController::instance()->undo());
        QCOMPARE(clip->content, before + " big day!");
    }
    void removingTheClipClosesItsPanel()
    {
        SourceItem *clip = open(CT_VIDEO, "clip.mp4");
        QVERIFY(clip && m_resource->showsMenu());
        QVERIFY(zua::UndoController::instance()->undo()); // the clip's addition
        QVERIFY(!m_resource->showsMenu());
        QCOMPARE(m_timeline->scene.panelItem(), nullptr);
        // An edit arriving now has no clip to go to.
        finish(m_resource->menu(MENU_VIDEO), "videoX", 10);
        QCOMPARE(clip->previewRect.x(), 0.0);
    }

private:
    SourceItem *open(uint32_t kind, const QString &file)
    {
        TimelineDocument &model = m_timeline->model;
        SourceItem *clip = model.createClip(model.group(kind), kind, m_dir.filePath(file), 0);
        if (clip)
            m_timeline->scene.showMenu(clip, clip->menuType(), 2, clip->panelValues());
        return clip;
    }
    QTemporaryDir m_dir;
    std::unique_ptr<ZuTransLator> m_translator;
    std::unique_ptr<fixtures::Timeline> m_timeline;
    std::unique_ptr<ResourceWidget> m_resource;
    int m_sentBack = 0; // edits sent by panels
};

QTEST_MAIN(TestPanelFlow)
#include "tst_panelflow.moc"
