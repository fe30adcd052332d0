// The export panel: what it refuses (and says), and the request it builds from
// its controls.
#include "common/FileDialogs.h"
#include "common/MessageBox.h"
#include "common/Translate.h"
#include "common/ZuTransLator.h"
#include "main/ExportParamWidget.h"
#include "main/ExportProcessDialog.h"
#include "support/Files.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QtTest>

class TestExportPanel : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        auto *english = new ZuTransLator(QStringLiteral(":/language/en-Us-new.ini"));
        english->setParent(qApp);
        qApp->installTranslator(english);
        MessageBox::setAnswerHook([this](const MessageSpec &box) {
            m_boxes << box;
            return m_answer;
        });
    }
    void init()
    {
        m_boxes.clear();
        m_answer = 0;
        m_panel = new ExportParamWidget;
        child<QLineEdit>("lineEdit_path")->setText(m_dir.path() + "/");
        child<QLineEdit>("lineEdit_name")->setText("clip");
    }
    void cleanup()
    {
        delete m_panel;
        FileDialogs::setHook(nullptr);
    }

    void refusals_data()
    {
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("size");
        QTest::addColumn<QString>("message");
        QTest::newRow("missing folder")
            << "/no/such/folder/"
            << "clip"
            << "1280 x 720"
            << "If the current directory does not exist, please switch the directory and try again";
        QTest::newRow("special name") << ""
                                      << "a?b"
                                      << "1280 x 720"
                                      << "Names cannot contain special characters";
        QTest::newRow("bad size") << ""
                                  << "clip"
                                  << "720 * 1280"
                                  << "The resolution is set incorrectly!";
        QTest::newRow("a file the project uses")
            << ""
            << "used"
            << "1280 x 720"
            << "This project uses the file at that name; an export never writes onto it. Choose "
               "another name or folder.";
        QTest::newRow("a folder of that name") << ""
                                               << "taken"
                                               << "1280 x 720"
                                               << "A file with this name is already there; it was "
                                                  "left as it was. Choose another name.";
    }
    void refusals()
    {
        QFETCH(QString, folder);
        QFETCH(QString, name);
        QFETCH(QString, size);
        QFETCH(QString, message);
        if (!folder.isEmpty())
            child<QLineEdit>("lineEdit_path")->setText(folder);
        child<QLineEdit>("lineEdit_name")->setText(name);
        child<QComboBox>("comboBox_resolution")->setCurrentText(size);
        QDir(m_dir.path()).mkpath("taken.mp4");
        const QString used = m_dir.filePath("used.mp4");
        m_panel->setUsedFiles([used] { return QStringList{used}; });
        QSignalSpy asked(m_panel, &ExportParamWidget::sig_exportParam);
        m_panel->on_pushButton_export_clicked();
        QCOMPARE(asked.count(), 0);
        QCOMPARE(m_boxes.size(), 1);
        QCOMPARE(m_boxes[0].text, message);
    }
    void requestFollowsTheControls()
    {
        m_panel->slot_updateSceneSize(1280, 720);
        child<QComboBox>("comboBox_frame")->setCurrentText("15");
        child<QComboBox>("comboBox_multiple")->setCurrentText("0.5");
        child<QComboBox>("comboBox_rate_select")->setCurrentIndex(2); // Recommend
        m_panel->show();
        QSignalSpy asked(m_panel, &ExportParamWidget::sig_exportParam);
        m_panel->on_pushButton_export_clicked();
        QCOMPARE(asked.count(), 1);
        QVERIFY(!m_panel->isVisible()); // the panel closes as the export starts
        const MVParams *p = asked[0][0].value<MVParams *>();
        QCOMPARE(p->path, m_dir.filePath("clip.mp4"));
        QCOMPARE(p->width, 1280);
        QCOMPARE(p->height, 720);
        QCOMPARE(p->frameRate, 15);
        QCOMPARE(p->speed, 0.5);
        QVERIFY(!p->audioOnly);
        QCOMPARE(p->bitRate, ExportParamWidget::recommendedBitRate(1280, 720, 15));

        // "Size Minimum": constant quality with rare key frames.
        child<QComboBox>("comboBox_rate_select")->setCurrentIndex(1);
        MVParams small;
        QVERIFY(m_panel->buildRequest(&small));
        QCOMPARE(small.bitRate, 0);
        QCOMPARE(small.keyInterval, 120);
        // A custom size and rate; odd sides are made even for the encoder.
        child<QRadioButton>("radioButton_resolution_custom")->setChecked(true);
        child<QSpinBox>("spinBox_resolution_width")->setValue(641);
        child<QSpinBox>("spinBox_resolution_height")->setValue(361);
        child<QRadioButton>("radioButton_rate_custom")->setChecked(true);
        child<QSpinBox>("spinBox_rate")->setValue(1234);
        QVERIFY(!child<QComboBox>("comboBox_resolution")->isEnabled());
        MVParams custom;
        QVERIFY(m_panel->buildRequest(&custom));
        QCOMPARE(custom.width, 640);
        QCOMPARE(custom.height, 360);
        QCOMPARE(custom.bitRate, 1234);
        // Sound only for ".mp3".
        child<QComboBox>("comboBox_name")->setCurrentText(".mp3");
        MVParams sound;
        QVERIFY(m_panel->buildRequest(&sound));
        QVERIFY(sound.audioOnly);
        QCOMPARE(sound.path, m_dir.filePath("clip.mp3"));
        QVERIFY(m_boxes.isEmpty());
    }
    void anExistingFileIsReplacedOnlyWhenAgreed()
    {
        const QString there = fixtures::writeFile(m_dir.filePath("clip.mp4"), {});
        QVERIFY(!there.isEmpty());
        QSignalSpy asked(m_panel, &ExportParamWidget::sig_exportParam);
        m_answer = 1; // Cancel
        m_panel->on_pushButton_export_clicked();
        QCOMPARE(m_boxes.size(), 1);
        QVERIFY(m_boxes[0].text.contains(QDir::toNativeSeparators(there)));
        QCOMPARE(asked.count(), 0);
        m_answer = 0; // Replace
        m_panel->on_pushButton_export_clicked();
        QCOMPARE(asked.count(), 1);
        QVERIFY(asked[0][0].value<MVParams *>()->replace);
        // A new name asks nothing and replaces nothing.
        child<QLineEdit>("lineEdit_name")->setText("fresh");
        m_panel->on_pushButton_export_clicked();
        QCOMPARE(m_boxes.size(), 2);
        QCOMPARE(asked.count(), 2);
        QVERIFY(!asked[1][0].value<MVParams *>()->replace);
    }

    void theProgressStopsOnlyWhenAsked()
    {
        ExportProcessDialog dialog;
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        auto *done = dialog.findChild<QPushButton *>("pushButton_acheive");
        auto *bar = dialog.findChild<QProgressBar *>("progressBar");
        dialog.slot_processUpdate(40, 90);
        // Enter stops nothing; Done asks, and "Continue" keeps the export running.
        QTest::keyClick(&dialog, Qt::Key_Return);
        QVERIFY(dialog.isVisible());
        QVERIFY(m_boxes.isEmpty());
        m_answer = 1; // Continue
        QTest::mouseClick(done, Qt::LeftButton);
        QCOMPARE(m_boxes.size(), 1);
        QCOMPARE(m_boxes[0].text, ZTR("exportmvdialog.AskStop"));
        QCOMPARE(m_boxes[0].defaultButton, 1);
        QVERIFY(dialog.isVisible());
        // Complete: the bar is full and stands still, and Enter closes the dialog.
        dialog.slot_finishing();
        dialog.slot_finished();
        QCOMPARE(bar->maximum(), 90);
        QCOMPARE(bar->value(), 90);
        QTest::keyClick(&dialog, Qt::Key_Return);
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(m_boxes.size(), 1);
    }

private:
    template <typename T> T *child(const char *name) { return m_panel->findChild<T *>(name); }
    QTemporaryDir m_dir;
    ExportParamWidget *m_panel = nullptr;
    QList<MessageSpec> m_boxes;
    int m_answer = 0;
};

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    qRegisterMetaType<MVParams *>("MVParams*");
    TestExportPanel test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_exportpanel.moc"
