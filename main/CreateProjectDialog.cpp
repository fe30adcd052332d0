#include "CreateProjectDialog.h"
#include "ui_CreateProjectDialog.h"

#include "MainWindow.h"
#include "ProjectDocument.h"
#include "ZuApp.h"
#include "common/FileNames.h"
#include "common/FrameSize.h"
#include "common/MessageBox.h"
#include "common/QssManager.h"
#include "common/Translate.h"

#include "bridge/Bridge.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryFile>
#include <QTimer>

CreateProjectDialog::CreateProjectDialog(QWidget *parent)
    : QDialog(parent), ui(new Ui::CreateProjectDialog)
{
    ui->setupUi(this);
    setWindowModality(Qt::ApplicationModal);
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    (new QssManager(this))->loadStyleSheet(QStringLiteral(":/qss/createproject-dialog.css"));

    const QString saved =
        QString::fromStdString(bg::UserSettings::instance().get("create_default_path", ""));
    ui->lineEdit_path->setText(!saved.isEmpty() && QFileInfo::exists(saved) ? saved
                                                                            : QDir::homePath());
    ui->comboBox_select->addItems({"1920 x 1080", "1080 x 1920", "1280 x 720", "720 x 640",
                                   "640 x 480", "480 x 320", "320 x 240"});
    ui->spinBox_width->setValue(framesize::kDefaultWidth);
    ui->spinBox_height->setValue(framesize::kDefaultHeight);
    ui->radioButton_default->setChecked(true);
    ui->comboBox_select->setEnabled(false);
    ui->spinBox_width->setEnabled(false);
    ui->spinBox_height->setEnabled(false);

    IconTextButton *advance = ui->pushButton_advance;
    advance->normalPixmap = QPixmap(":/image/export-expand.png");
    advance->hoverPixmap = advance->normalPixmap;
    advance->checkedPixmap = QPixmap(":/image/export-collapse.png");
    advance->layout = 0;
    advance->offsetX = 5;
    advance->setIconSize(QSize(12, 12));
    const auto *app = ZuApp::instance();
    advance->setProperty("isEnglish", app && app->isEnglish());
    ui->toolButton_single->setToolTip(ZTR("newprojectdialog.SingleHint"));
    // The advanced settings stay visible as laid out.
    advance->hide();
}

CreateProjectDialog::~CreateProjectDialog()
{
    delete ui;
}

QString CreateProjectDialog::defaultName()
{
    const QDateTime now = QDateTime::currentDateTime();
    return "zu_" + now.toString("yyyyMMdd") + "_" + now.toString("HHmmss");
}

QString CreateProjectDialog::quickExportProgram()
{
    return QCoreApplication::applicationDirPath() + "/ZuAQuickExport";
}

void CreateProjectDialog::showEvent(QShowEvent *event)
{
    // The quick export is offered only when its program is installed beside the editor.
    const bool present = QFileInfo(quickExportProgram()).isExecutable();
    if (!present)
        ui->checkBox_single->setChecked(false);
    ui->checkBox_single->setVisible(present);
    ui->toolButton_single->setVisible(present);
    ui->label_single->setVisible(present);
    QDialog::showEvent(event);
}

int CreateProjectDialog::exec()
{
    ui->lineEdit_name->setText(defaultName());
    return QDialog::exec();
}

void CreateProjectDialog::inform(const QString &text)
{
    MessageBox::inform(this, ZKEY("newprojectdialog.Hint"), text, ZKEY("newprojectdialog.Ok"));
}

void CreateProjectDialog::on_pushButton_advance_clicked(bool checked)
{
    ui->groupBox_advance->setVisible(checked);
    QTimer::singleShot(0, this, [this] { adjustSize(); });
}

void CreateProjectDialog::on_radioButton_select_toggled(bool checked)
{
    ui->comboBox_select->setEnabled(checked);
}

void CreateProjectDialog::on_radioButton_custom_toggled(bool checked)
{
    ui->spinBox_width->setEnabled(checked);
    ui->spinBox_height->setEnabled(checked);
}

void CreateProjectDialog::on_checkBox_single_toggled(bool checked)
{
    for (QWidget *w : std::initializer_list<QWidget *>{
             ui->lineEdit_name, ui->lineEdit_path, ui->pushButton_browse, ui->radioButton_default,
             ui->radioButton_select, ui->radioButton_custom, ui->comboBox_select, ui->spinBox_width,
             ui->spinBox_height, ui->label_width, ui->label_height})
        w->setEnabled(!checked);
}

void CreateProjectDialog::on_pushButton_browse_clicked()
{
    const QString dir =
        QFileDialog::getExistingDirectory(this, ZTR("newprojectdialog.ChooseDir"),
                                          ui->lineEdit_path->text(), QFileDialog::ShowDirsOnly);
    if (dir.isEmpty())
        return;
    ui->lineEdit_path->setText(dir);
    bg::UserSettings::instance().set("create_default_path", dir.toStdString());
    bg::UserSettings::instance().save();
}

void CreateProjectDialog::on_pushButton_create_clicked()
{
    if (ui->checkBox_single->isEnabled() && ui->checkBox_single->isChecked()) {
        if (QProcess::startDetached(quickExportProgram(), {"--launched-by-RuZOVaza"})) {
            accept();
            // The editor closes the normal way: modified work is offered for saving first.
            ZuApp *app = ZuApp::instance();
            if (app && app->mainWindow())
                QMetaObject::invokeMethod(app->mainWindow(), "close", Qt::QueuedConnection);
            else
                QCoreApplication::quit();
            return;
        }
        inform(ZTR("newprojectdialog.SingleInvalid"));
        return;
    }
    const QString folder = ui->lineEdit_path->text();
    const QFileInfo folderInfo(folder);
    if (folder.isEmpty() || !folderInfo.exists()) {
        inform(ZTR("newprojectdialog.dirNoneExist"));
        return;
    }
    const QString name = ui->lineEdit_name->text();
    if (hasForbiddenNameCharacter(name)) {
        inform(ZTR("newprojectdialog.NameForbidden") + ": " + forbiddenNameCharacters());
        return;
    }
    const QString file = folder + "/" + name + ".zua2";
    if (!folderInfo.isDir()) {
        inform(ZTR("newprojectdialog.PathNone").arg(file));
        reject();
        return;
    }
    // A file of a unique new name shows the folder is writable; no user file is touched.
    QTemporaryFile probe(folderInfo.absoluteFilePath() + "/ZuTestFile-XXXXXX.txt");
    if (probe.open()) {
        probe.close();
        probe.remove();
    }
    // Asked whenever the name is taken, in plain words, with Cancel the default: Enter
    // must not replace somebody's project with an empty one (the file names the
    // project and its folder, unlike the generic overwrite question).
    if (QFileInfo::exists(file)) {
        const QFileInfo existing(file);
        MessageSpec ask;
        ask.parent = this;
        ask.titleKey = ZKEY("newprojectdialog.Hint");
        ask.text = ZTR("newprojectdialog.AskOverwrite")
                       .arg(existing.fileName(), QDir::toNativeSeparators(existing.absolutePath()));
        ask.buttonKeys =
            QStringList{ZKEY("newprojectdialog.Replace"), ZKEY("newprojectdialog.Cancel")};
        ask.defaultButton = 1;
        ask.escapeButton = 1;
        if (MessageBox::show(ask) != 0)
            return;
    }
    int width = framesize::kDefaultWidth, height = framesize::kDefaultHeight;
    bool fixed = false;
    if (ui->radioButton_select->isChecked()) {
        static const QRegularExpression size("^(\\d+)\\s*x\\s*(\\d+)$");
        const auto m = size.match(ui->comboBox_select->currentText());
        if (m.hasMatch()) {
            width = m.captured(1).toInt();
            height = m.captured(2).toInt();
        }
        fixed = true;
    } else if (ui->radioButton_custom->isChecked()) {
        width = ui->spinBox_width->value();
        height = ui->spinBox_height->value();
        fixed = true;
    }
    if (auto *app = ZuApp::instance())
        app->document()->createProject(file, width, height, fixed);
    accept();
}

void CreateProjectDialog::on_pushButton_cancel_clicked()
{
    reject();
}
