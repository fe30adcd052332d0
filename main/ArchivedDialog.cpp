#include "ArchivedDialog.h"
#include "ui_ArchivedDialog.h"

#include "ProjectDocument.h"
#include "ZuApp.h"
#include "common/FileDialogs.h"
#include "common/FileNames.h"
#include "common/MessageBox.h"
#include "common/QssManager.h"
#include "common/Translate.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QShortcut>

ArchivedDialog::ArchivedDialog(QWidget *parent) : QDialog(parent), ui(new Ui::ArchivedDialog)
{
    ui->setupUi(this);
    setWindowModality(Qt::ApplicationModal);
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setWindowTitle(ZTR("archivedialog.SourceArchive"));
    const double s = QssManager::screenScale();
    resize(int(540 * s), int(230 * s));
    (new QssManager(this))->loadStyleSheet(QStringLiteral(":/qss/archived-dialog.css"));
    ui->label_title->setText(ZTR("archivedialog.SourceArchive"));
    ui->label_zua->setText(ZTR("archivedialog.Source"));
    ui->label_path->setText(ZTR("archivedialog.ExportDir"));
    ui->label_name->setText(ZTR("archivedialog.AsName"));
    ui->label_describ->setText(ZTR("archivedialog.Describ"));
    ui->pushButton_select->setText(ZTR("archivedialog.Choose"));
    ui->pushButton_archived->setText(ZTR("archivedialog.Archive"));
    ui->pushButton_archived->setShortcut(QKeySequence(QStringLiteral("Ctrl+Tab")));
    ui->lineEdit_path->setText(QDir::homePath());
}

ArchivedDialog::~ArchivedDialog()
{
    delete ui;
}

QString ArchivedDialog::defaultName()
{
    const QDateTime now = QDateTime::currentDateTime();
    return QStringLiteral("Zu剪辑-") + now.toString(QStringLiteral("yyyyMMdd")) + '_' +
           now.toString(QStringLiteral("HH-mm"));
}

int ArchivedDialog::exec()
{
    ui->lineEdit_name->setText(defaultName());
    if (ZuApp *app = ZuApp::instance())
        ui->lineEdit_zua->setText(QDir::toNativeSeparators(app->document()->currentProjectPath()));
    return QDialog::exec();
}

QString ArchivedDialog::target() const
{
    return ui->lineEdit_path->text() + '/' + ui->lineEdit_name->text().trimmed();
}

void ArchivedDialog::on_pushButton_select_clicked()
{
    const QString folder = FileDialogs::existingDirectory(this, ZTR("archivedialog.ChooseDir"),
                                                          ui->lineEdit_path->text());
    if (!folder.isEmpty())
        ui->lineEdit_path->setText(folder);
}

void ArchivedDialog::on_pushButton_archived_clicked()
{
    const QString name = ui->lineEdit_name->text().trimmed();
    if (!QFileInfo(ui->lineEdit_path->text()).isDir()) {
        MessageBox::inform(this, ZKEY("archivedialog.Hint"), ZTR("archivedialog.dirNoneExist"),
                           ZKEY("archivedialog.Ok"));
        return;
    }
    if (name.isEmpty() || hasForbiddenNameCharacter(name)) {
        MessageBox::inform(this, ZKEY("archivedialog.Hint"),
                           ZTR("archivedialog.NameLimit") + QStringLiteral(": ") +
                               forbiddenNameCharacters(),
                           ZKEY("archivedialog.Ok"));
        return;
    }
    accept();
    emit sig_archive(target());
}
