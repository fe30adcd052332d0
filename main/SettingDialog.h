#pragma once
// The settings dialog: interface language (from the next start) and the microphone
// used for voice-overs, whose list follows devices plugged in and removed while the
// dialog is open; a button opens the desktop's sound settings; proxies on or off,
// the disk space they may take and take now.
// Lives on: main thread.

#include <QDialog>
#include <QMap>
#include <QString>

namespace Ui {
class SettingDialog;
}
class QCheckBox;
class QLabel;
class QSpinBox;
class WasapiEnumerator;

class SettingDialog : public QDialog {
    Q_OBJECT
public:
    explicit SettingDialog(QWidget *parent = nullptr);
    ~SettingDialog() override;

    // The program and arguments that open the desktop's sound settings on their
    // input page; an empty program when no known one is installed.
    static QStringList soundSettingsCommand();
    // The user changed the language and chose to restart now.
    bool restartChosen() const { return m_restart; }

public slots:
    void on_comboBox_lauguage_activated(const QString &arg1);
    void on_comboBox_mic_activated(const QString &arg1);
    void on_toolButton_mic_clicked();
    void slot_defaultInputDeviceChanged();
    void slot_deviceCollecttionChanged();

private:
    void addProxyRows();
    void showProxyUse();
    Ui::SettingDialog *ui;
    QCheckBox *m_proxyOn = nullptr;
    QSpinBox *m_proxyLimit = nullptr;
    QLabel *m_proxyUse = nullptr;
    WasapiEnumerator *m_enumerator;
    QMap<QString, QString> m_devices; // display name → device id
    QString m_language;               // as the editor runs now
    bool m_restart = false;
};
