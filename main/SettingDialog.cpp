#include "SettingDialog.h"
#include "ui_SettingDialog.h"

#include "audio/WasapiEnumerator.h"
#include "bridge/Logger.h"
#include "bridge/UserSettings.h"
#include "common/MessageBox.h"
#include "common/QssManager.h"
#include "common/Translate.h"

#include "render/proxy/ProxyMaker.h"
#include "render/proxy/ProxyStore.h"

#include <QCheckBox>
#include <QDebug>
#include <QGridLayout>
#include <QLabel>
#include <QListView>
#include <QLocale>
#include <QProcess>
#include <QPushButton>
#include <QSpinBox>
#include <QStandardPaths>

namespace {

const QString kDefaultMic = QStringLiteral("默认");

QString setting(const char *key, const char *def)
{
    return QString::fromStdString(bg::UserSettings::instance().get(key, def));
}

void store(const char *key, const QString &value)
{
    bg::UserSettings::instance().set(key, value.toStdString());
    bg::UserSettings::instance().save();
}

} // namespace

SettingDialog::SettingDialog(QWidget *parent)
    : QDialog(parent), ui(new Ui::SettingDialog), m_enumerator(new WasapiEnumerator(this))
{
    ui->setupUi(this);
    setWindowModality(Qt::ApplicationModal);
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setWindowTitle(ZTR("settingdialog.settings"));
    const double s = QssManager::screenScale();
    resize(int(420 * s), int(180 * s));
    (new QssManager(this))->loadStyleSheet(QStringLiteral(":/qss/setting-dialog.css"));
    ui->label_lauguage->setText(ZTR("settingdialog.ChooseLanguage"));
    ui->label_mic->setText(ZTR("settingdialog.mic"));
    ui->comboBox_lauguage->setView(new QListView(ui->comboBox_lauguage));
    ui->comboBox_mic->setView(new QListView(ui->comboBox_mic));
    ui->comboBox_lauguage->addItems({QStringLiteral("简体中文"), QStringLiteral("English")});
    m_language = setting("IsEnglish", "简体中文");
    ui->comboBox_lauguage->setCurrentText(m_language);

    // Desktops name their sound settings differently: the button opens the one
    // installed, or says why it can't.
    ui->toolButton_mic->setIcon(QIcon(QStringLiteral(":/image/setting-sound.png")));
    const bool canOpen = !soundSettingsCommand().isEmpty();
    ui->toolButton_mic->setEnabled(canOpen);
    ui->toolButton_mic->setToolTip(canOpen ? ZTR("settingdialog.SoundSettings")
                                           : ZTR("settingdialog.NoSoundSettings"));

    connect(m_enumerator, &WasapiEnumerator::DefaultInputDeviceChanged, this,
            &SettingDialog::slot_defaultInputDeviceChanged);
    connect(m_enumerator, &WasapiEnumerator::DeviceCollectionChanged, this,
            &SettingDialog::slot_deviceCollecttionChanged);
    slot_deviceCollecttionChanged();
    addProxyRows();
}

void SettingDialog::addProxyRows()
{
    auto *grid = static_cast<QGridLayout *>(layout());
    m_proxyOn = new QCheckBox(ZTR("settingdialog.Proxies"), this);
    m_proxyOn->setObjectName(QStringLiteral("checkBox_proxy"));
    m_proxyOn->setChecked(ProxyStore::enabled());
    grid->addWidget(m_proxyOn, 2, 0, 1, 3);
    auto *limitLabel = new QLabel(ZTR("settingdialog.ProxyLimit"), this);
    grid->addWidget(limitLabel, 3, 0);
    m_proxyLimit = new QSpinBox(this);
    m_proxyLimit->setObjectName(QStringLiteral("spinBox_proxyLimit"));
    m_proxyLimit->setRange(1, 1000);
    m_proxyLimit->setSuffix(ZTR("settingdialog.GB"));
    m_proxyLimit->setValue(int(std::max<int64_t>(1, ProxyStore::limitBytes() >> 30)));
    grid->addWidget(m_proxyLimit, 3, 1, 1, 2);
    m_proxyUse = new QLabel(this);
    m_proxyUse->setObjectName(QStringLiteral("label_proxyUse"));
    grid->addWidget(m_proxyUse, 4, 0, 1, 2);
    auto *removeAll = new QPushButton(ZTR("settingdialog.ProxyRemove"), this);
    removeAll->setObjectName(QStringLiteral("pushButton_proxyRemove"));
    grid->addWidget(removeAll, 4, 2);
    showProxyUse();
    connect(m_proxyOn, &QCheckBox::toggled, this, [this](bool on) {
        if (ProxyMaker *maker = ProxyMaker::instance())
            maker->setEnabled(on);
        else
            ProxyStore::setEnabled(on);
        showProxyUse();
    });
    connect(m_proxyLimit, qOverload<int>(&QSpinBox::valueChanged), this, [this](int gb) {
        ProxyStore::setLimitBytes(int64_t(gb) << 30);
        showProxyUse();
    });
    connect(removeAll, &QPushButton::clicked, this, [this] {
        ProxyStore::removeAll();
        showProxyUse();
    });
    if (ProxyMaker *maker = ProxyMaker::instance())
        connect(maker, &ProxyMaker::sig_finished, this, &SettingDialog::showProxyUse);
}

void SettingDialog::showProxyUse()
{
    // In units of 1,024 named as the limit's box names them ("GB").
    constexpr QLocale::DataSizeFormats kUnits = QLocale::DataSizeTraditionalFormat;
    const QLocale locale = QLocale::system();
    m_proxyUse->setText(ZTR("settingdialog.ProxyUse")
                            .arg(locale.formattedDataSize(ProxyStore::diskUse(), 2, kUnits),
                                 locale.formattedDataSize(ProxyStore::limitBytes(), 2, kUnits)));
}

SettingDialog::~SettingDialog()
{
    delete ui;
}

QStringList SettingDialog::soundSettingsCommand()
{
    const struct {
        const char *program;
        QStringList arguments;
    } known[] = {
        {"pavucontrol", {QStringLiteral("--tab=4")}}, // its input devices page
        {"gnome-control-center", {QStringLiteral("sound")}},
        {"systemsettings", {QStringLiteral("kcm_pulseaudio")}},
        {"systemsettings5", {QStringLiteral("kcm_pulseaudio")}},
    };
    for (const auto &k : known) {
        const QString path = QStandardPaths::findExecutable(QString::fromLatin1(k.program));
        if (!path.isEmpty())
            return QStringList{path} + k.arguments;
    }
    return {};
}

void SettingDialog::on_comboBox_lauguage_activated(const QString &arg1)
{
    store("IsEnglish", arg1);
    if (arg1 == m_language)
        return; // back to the language the editor shows: nothing to restart for
    // The interface is built in one language: the new one shows after a restart,
    // offered now (the work is offered for saving first).
    MessageSpec ask;
    ask.parent = this;
    ask.titleKey = ZKEY("settingdialog.Hint");
    ask.text = ZTR("settingdialog.EnableByRestart");
    ask.buttonKeys = QStringList{ZKEY("settingdialog.RestartNow"), ZKEY("settingdialog.Later")};
    ask.defaultButton = 0;
    ask.escapeButton = 1;
    m_restart = MessageBox::show(ask) == 0;
    if (m_restart)
        accept();
}

void SettingDialog::on_comboBox_mic_activated(const QString &arg1)
{
    // The first entry is shown in the interface's language and stored as "默认".
    const bool byDefault = arg1 == kDefaultMic || arg1 == ZTR("settingdialog.DefaultMic");
    store("Micphone", byDefault ? kDefaultMic : arg1);
    store("DeviceId", byDefault ? QStringLiteral("default") : m_devices.value(arg1));
}

void SettingDialog::on_toolButton_mic_clicked()
{
    // The role rundll32 plays on Windows: the desktop's own sound settings.
    QStringList command = soundSettingsCommand();
    if (!command.isEmpty())
        QProcess::startDetached(command.takeFirst(), command);
}

void SettingDialog::slot_defaultInputDeviceChanged()
{
    qDebug() << "defaultInputDeviceChanged";
    BG_LOG_E("============>defaultInputDeviceChanged");
}

void SettingDialog::slot_deviceCollecttionChanged()
{
    m_devices.clear();
    ui->comboBox_mic->clear();
    ui->comboBox_mic->addItem(ZTR("settingdialog.DefaultMic"));
    for (const WasapiEnumerator::Device &device : m_enumerator->captureDevices()) {
        m_devices.insert(device.second, device.first); // a later namesake wins
        ui->comboBox_mic->addItem(device.second);
    }
    QString chosen = setting("Micphone", "默认");
    if (m_devices.contains(chosen)) {
        store("DeviceId", m_devices.value(chosen));
    } else {
        chosen = kDefaultMic;
        store("DeviceId", QStringLiteral("default"));
    }
    ui->comboBox_mic->setCurrentText(chosen == kDefaultMic ? ZTR("settingdialog.DefaultMic")
                                                           : chosen);
}
