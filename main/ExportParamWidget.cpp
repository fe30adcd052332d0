#include "ExportParamWidget.h"
#include "ui_ExportParamWidget.h"

#include "render/export/ExportManager.h"

#include "common/FileDialogs.h"
#include "common/FrameSize.h"
#include "common/MessageBox.h"
#include "common/QssManager.h"
#include "common/Translate.h"

#include "bridge/UserSettings.h"

#include <QButtonGroup>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

ExportParamWidget::ExportParamWidget(QWidget *parent)
    : QWidget(parent), ui(new Ui::ExportParamWidget)
{
    ui->setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setWindowModality(Qt::ApplicationModal);
    setAttribute(Qt::WA_DeleteOnClose, false);
    (new QssManager(this))->loadStyleSheet(QStringLiteral(":/qss/exportparam-widget.css"));

    ui->comboBox_frame->addItems({"30", "25", "20", "15", "10", "7", "5"});
    const QString saved =
        QString::fromStdString(bg::UserSettings::instance().get("export_default_path", ""));
    QString folder = !saved.isEmpty() && QFileInfo(saved).isDir() ? saved : QDir::homePath();
    if (!folder.endsWith('/'))
        folder += '/';
    ui->lineEdit_path->setText(folder);
    ui->comboBox_name->addItems({".mp4", ".mp3", ".avi"});
    ui->comboBox_resolution->addItems({"320 x 240", "480 x 320", "640 x 480", "720 x 640",
                                       "720 x 1280", "1280 x 720", "1080 x 1920", "1920 x 1080"});
    ui->comboBox_rate_select->addItems({ZTR("exportmvwindow.qualitypriority"),
                                        ZTR("exportmvwindow.volumepriority"),
                                        ZTR("exportmvwindow.recommand")});
    ui->comboBox_multiple->addItems({"2.0", "1.5", "1.25", "1.0", "0.75", "0.5"});
    ui->comboBox_multiple->setCurrentText("1.0");
    ui->spinBox_resolution_width->setValue(framesize::kDefaultWidth);
    ui->spinBox_resolution_height->setValue(framesize::kDefaultHeight);
    ui->spinBox_rate->setValue(5000);
    ui->toolButton_tooltip->setToolTip(ZTR("exportmvwindow.BitrateTooltip"));

    // Each radio button enables its own controls and disables the other's.
    auto pair = [this](QRadioButton *select, QRadioButton *custom, QList<QWidget *> selected,
                       QList<QWidget *> own) {
        auto *group = new QButtonGroup(this);
        group->addButton(select);
        group->addButton(custom);
        auto update = [select, selected, own] {
            for (QWidget *w : selected)
                w->setEnabled(select->isChecked());
            for (QWidget *w : own)
                w->setEnabled(!select->isChecked());
        };
        connect(select, &QRadioButton::toggled, this, update);
        select->setChecked(true);
        update();
    };
    pair(ui->radioButton_resolution_select, ui->radioButton_resolution_custom,
         {ui->comboBox_resolution}, {ui->spinBox_resolution_width, ui->spinBox_resolution_height});
    pair(ui->radioButton_rate_select, ui->radioButton_rate_custom, {ui->comboBox_rate_select},
         {ui->spinBox_rate, ui->toolButton_tooltip});

    ui->toolButton_advance->setIcon(QIcon(":/image/export-expand.png"));
    connect(ui->toolButton_advance, &QToolButton::toggled, this,
            &ExportParamWidget::setAdvancedShown);
    ui->toolButton_advance->setChecked(true);
    setAdvancedShown(true);
    slot_updateSceneSize(framesize::kDefaultWidth, framesize::kDefaultHeight);
}

ExportParamWidget::~ExportParamWidget()
{
    delete ui;
}

QString ExportParamWidget::fileName() const
{
    return ui->lineEdit_name->text();
}

void ExportParamWidget::showEvent(QShowEvent *event)
{
    if (ui->lineEdit_name->text().isEmpty() || ui->lineEdit_name->text() == m_proposedName) {
        // "export_" and the time, with a number when a file of that name is there.
        const QString stamp =
            "export_" + QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMddHHmmss"));
        const QDir folder(ui->lineEdit_path->text());
        QString name = stamp;
        for (int n = 2; name == m_proposedName ||
                        QFileInfo::exists(folder.filePath(name + ui->comboBox_name->currentText()));
             ++n)
            name = stamp + QStringLiteral("_%1").arg(n);
        m_proposedName = name;
        ui->lineEdit_name->setText(name);
    }
    QWidget::showEvent(event);
}

void ExportParamWidget::setAdvancedShown(bool shown)
{
    ui->widget_advance->setVisible(shown);
    ui->toolButton_advance->setIcon(
        QIcon(shown ? ":/image/export-collapse.png" : ":/image/export-expand.png"));
    adjustSize();
}

void ExportParamWidget::slot_updateSceneSize(int width, int height)
{
    const QString size = QString("%1 x %2").arg(width).arg(height);
    ui->comboBox_resolution->setCurrentText(size);
    ui->label_resolution_select->setText(ZTR("exportmvwindow.SrcSize").arg(size));
}

bool ExportParamWidget::parseSize(const QString &text, int *width, int *height)
{
    return parseFrameSize(text, width, height);
}

int ExportParamWidget::recommendedBitRate(int width, int height, int frameRate)
{
    const auto scaled = int64_t(double(width) * height * -0.003 / 1000.0 * frameRate * 32.0);
    return int(100 * ((99 - scaled) / 100));
}

bool ExportParamWidget::validName(const QString &name)
{
    static const QString forbidden = QStringLiteral("\\/:*?\"<>|\uFF1F");
    for (const QChar c : name)
        if (forbidden.contains(c))
            return false;
    return !name.trimmed().isEmpty();
}

void ExportParamWidget::tell(const QString &textKey, const char *titleKey, const char *okKey)
{
    MessageBox::inform(this, QString::fromUtf8(titleKey), zuaTranslate(textKey),
                       QString::fromUtf8(okKey));
}

bool ExportParamWidget::buildRequest(MVParams *p)
{
    const QString folder = ui->lineEdit_path->text();
    const QFileInfo dir(folder);
    if (folder.isEmpty() || !dir.isDir()) {
        tell(ZKEY("exportmvwindow.dirNoneExist"));
        return false;
    }
    if (!dir.isWritable()) {
        tell(ZKEY("exportmvwindow.dirNotWritable"));
        return false;
    }
    const QString name = ui->lineEdit_name->text();
    if (!validName(name)) {
        tell(ZKEY("historyitemwidget.NameList"), "historyitemwidget.RenameFailed",
             "historyitemwidget.Ok");
        return false;
    }
    *p = MVParams();
    p->frameRate = ui->comboBox_frame->currentText().toInt();
    p->keyInterval = p->frameRate;
    p->speed = ui->comboBox_multiple->currentText().toDouble();
    const QString container = ui->comboBox_name->currentText();
    p->path = QDir(folder).filePath(name + container);
    if (p->path.toUtf8().size() > 511) {
        tell(ZKEY("exportmvwindow.pathTooLong"));
        return false;
    }
    if (m_usedFiles)
        p->keep = m_usedFiles();
    if (ExportManager::namesOneOf(p->path, p->keep)) {
        tell(ZKEY("exportmvwindow.targetInUse"));
        return false;
    }
    const QFileInfo there(p->path);
    if (there.isDir()) {
        tell(ZKEY("exportmvwindow.targetExists"));
        return false;
    }
    if (there.exists() || there.isSymLink()) {
        MessageSpec ask;
        ask.parent = this;
        ask.titleKey = ZKEY("exportmvwindow.Hint");
        ask.text = ZTR("exportmvwindow.replaceAsk").arg(QDir::toNativeSeparators(p->path));
        ask.buttonKeys = QStringList{ZKEY("exportmvwindow.Replace"), ZKEY("exportmvwindow.Cancel")};
        ask.defaultButton = 1;
        ask.escapeButton = 1;
        if (MessageBox::show(ask) != 0)
            return false;
        p->replace = true;
    }
    p->audioOnly = container == QLatin1String(".mp3");
    p->gif = container == QLatin1String(".gif");
    if (ui->radioButton_resolution_select->isChecked()) {
        if (!parseSize(ui->comboBox_resolution->currentText(), &p->width, &p->height) ||
            p->width < 16 || p->height < 16 || p->width > 8192 || p->height > 8192) {
            tell(ZKEY("exportmvwindow.reslutionError"));
            return false;
        }
    } else {
        p->width = ui->spinBox_resolution_width->value();
        p->height = ui->spinBox_resolution_height->value();
    }
    // Encoders of 4:2:0 pictures need even sides.
    p->width &= ~1;
    p->height &= ~1;
    if (ui->radioButton_rate_select->isChecked()) {
        switch (ui->comboBox_rate_select->currentIndex()) {
        case 1: // smallest files
            p->bitRate = 0;
            p->keyInterval = 120;
            break;
        case 2:
            p->bitRate = recommendedBitRate(p->width, p->height, p->frameRate);
            break;
        default: // quality first
            p->bitRate = 0;
            break;
        }
    } else {
        p->bitRate = ui->spinBox_rate->value();
    }
    return true;
}

void ExportParamWidget::on_pushButton_export_clicked()
{
    if (!buildRequest(&m_params))
        return;
    close();
    emit sig_exportParam(&m_params);
}

void ExportParamWidget::on_pushButton_path_clicked()
{
    const QString chosen = FileDialogs::existingDirectory(this, ZTR("exportmvwindow.ChooseDir"),
                                                          ui->lineEdit_path->text());
    if (chosen.isEmpty())
        return;
    bg::UserSettings::instance().set("export_default_path", chosen.toStdString());
    ui->lineEdit_path->setText(chosen.endsWith('/') ? chosen : chosen + '/');
}
