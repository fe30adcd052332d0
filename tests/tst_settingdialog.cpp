// The settings dialog over a private sound server: the microphone list with its
// "default" entry, a saved microphone that is gone, namesakes, devices plugged in
// while it is open, and the language choice with its restart hint.
#include "common/MessageBox.h"
#include "main/SettingDialog.h"

#include "bridge/UserSettings.h"

#include "support/EnglishTestMain.h"
#include "support/SoundServer.h"
#include <QComboBox>
#include <QToolButton>

#include <QtTest>

namespace {

std::string setting(const char *key)
{
    return bg::UserSettings::instance().get(key, "(unset)");
}

QStringList items(QComboBox *box)
{
    QStringList texts;
    for (int i = 0; i < box->count(); ++i)
        texts << box->itemText(i);
    return texts;
}

} // namespace

class TestSettingDialog : public QObject {
    Q_OBJECT
private slots:
    void microphoneListAndChoice()
    {
        QStringList modules{fixtures::loadSilentSource("twinA", "Twin"),
                            fixtures::loadSilentSource("twinB", "Twin"),
                            fixtures::loadSilentSource("solo", "Solo")};
        QVERIFY2(!modules[0].isEmpty(), "no sound server: run this test through with_pulse.sh");
        // A saved microphone that is no longer there: back to the default.
        bg::UserSettings::instance().set("Micphone", "Gone Mic");
        bg::UserSettings::instance().set("DeviceId", "gone");
        SettingDialog dialog;
        auto *mics = dialog.findChild<QComboBox *>("comboBox_mic");
        QVERIFY(mics);
        QCOMPARE(items(mics), (QStringList{"Default", "Twin", "Twin", "Solo"})); // monitors aside
        QCOMPARE(mics->currentIndex(), 0);
        QCOMPARE(setting("DeviceId"), std::string("default"));

        // Namesakes both stand for the later device.
        dialog.on_comboBox_mic_activated("Twin");
        QCOMPARE(setting("Micphone"), std::string("Twin"));
        QCOMPARE(setting("DeviceId"), std::string("twinB"));
        mics->setCurrentText("Solo");
        dialog.on_comboBox_mic_activated("Solo");
        QCOMPARE(setting("DeviceId"), std::string("solo"));

        // Plugged in while the dialog is open: listed at once, the choice kept.
        modules << fixtures::loadSilentSource("usb", "USB Mic");
        QTRY_VERIFY_WITH_TIMEOUT(items(mics).contains("USB Mic"), 1000);
        QCOMPARE(mics->currentText(), QString("Solo"));
        // The chosen one unplugged: back to the default.
        fixtures::pactl({"unload-module", modules[2]});
        QTRY_VERIFY_WITH_TIMEOUT(!items(mics).contains("Solo"), 1000);
        QCOMPARE(mics->currentIndex(), 0);
        QCOMPARE(setting("DeviceId"), std::string("default"));
        dialog.on_comboBox_mic_activated("Default");
        QCOMPARE(setting("Micphone"), std::string("默认"));

        // The sound settings button works only with a program to open.
        auto *sound = dialog.findChild<QToolButton *>("toolButton_mic");
        QCOMPARE(sound->isEnabled(), !SettingDialog::soundSettingsCommand().isEmpty());
        QVERIFY(!sound->toolTip().isEmpty());
        for (const QString &m : modules)
            fixtures::pactl({"unload-module", m});
    }
    void languageChoiceAsksForARestart()
    {
        QList<MessageSpec> boxes;
        int answer = 1; // "Later"
        MessageBox::setAnswerHook([&](const MessageSpec &box) {
            boxes << box;
            return answer;
        });
        bg::UserSettings::instance().set("IsEnglish", "English");
        SettingDialog dialog;
        auto *languages = dialog.findChild<QComboBox *>("comboBox_lauguage");
        QCOMPARE(items(languages), (QStringList{"简体中文", "English"}));
        QCOMPARE(languages->currentText(), QString("English"));
        QCOMPARE(dialog.windowTitle(), QString("Settings"));

        // Another language: stored, and a restart offered; "Later" keeps the editor.
        dialog.on_comboBox_lauguage_activated("简体中文");
        QCOMPARE(setting("IsEnglish"), std::string("简体中文"));
        QCOMPARE(boxes.size(), 1);
        QCOMPARE(boxes[0].text, QString("It takes effect after restarting the software"));
        QCOMPARE(boxes[0].buttonKeys,
                 (QStringList{"settingdialog.RestartNow", "settingdialog.Later"}));
        QVERIFY(!dialog.restartChosen());
        // Back to the language shown: nothing to restart for.
        dialog.on_comboBox_lauguage_activated("English");
        QCOMPARE(setting("IsEnglish"), std::string("English"));
        QCOMPARE(boxes.size(), 1);
        // "Restart now" closes the dialog with the choice made.
        answer = 0;
        dialog.show();
        dialog.on_comboBox_lauguage_activated("简体中文");
        QVERIFY(dialog.restartChosen());
        QVERIFY(!dialog.isVisible());
        MessageBox::setAnswerHook({});
    }
};

ZU_ENGLISH_TEST_MAIN(QApplication, TestSettingDialog)

#include "tst_settingdialog.moc"
