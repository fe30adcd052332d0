#include "HistoryItemWidget.h"
#include "ui_HistoryItemWidget.h"

#include "bridge/SystemServices.h"
#include "common/FileNames.h"
#include "common/MessageBox.h"
#include "common/QssManager.h"
#include "common/Translate.h"

#include <QContextMenuEvent>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLocale>
#include <QMenu>

namespace {
// A second editingFinished while a refusal box is open is not a second rename.
bool g_renaming = false;
} // namespace

HistoryItemWidget::HistoryItemWidget(QWidget *parent)
    : QWidget(parent), ui(new Ui::HistoryItemWidget)
{
    ui->setupUi(this);
    (new QssManager(this))->loadStyleSheet(QStringLiteral(":/qss/historyitem-widget.css"));
    ui->label_openProject->setContextMenuPolicy(Qt::NoContextMenu);
    ui->label_openProject->setTextFormat(Qt::RichText);
    ui->lineEdit_rename->hide();
    ui->lineEdit_rename->installEventFilter(this);
    connect(ui->lineEdit_rename, &QLineEdit::editingFinished, this,
            &HistoryItemWidget::slot_renameFinished);
}

HistoryItemWidget::~HistoryItemWidget()
{
    delete ui;
}

void HistoryItemWidget::setProjectPath(const QString &path)
{
    const QFileInfo file(path);
    m_path = file.filePath();
    ui->label_projectPath->setText(QDir::toNativeSeparators(m_path));
    ui->lineEdit_rename->setText(file.fileName());
    ui->label_openProject->setText(
        QStringLiteral("<a href='%1'><span style=' font-weight:400;text-decoration: "
                       "underline;color:#0000ff;'>%2</span></a>")
            .arg(m_path.toHtmlEscaped(), file.fileName().toHtmlEscaped()));
    ui->label_openProject->setToolTip(ZTR("historyitemwidget.OpenProject") + ":" + file.fileName());
    ui->label_proDateTime->setText(
        file.exists() ? QLocale::system().toString(file.lastModified(), QLocale::LongFormat)
                      : ZTR("historyitemwidget.FileMiss"));
}

void HistoryItemWidget::on_label_openProject_linkActivated(const QString &link)
{
    emit signal_openProject(link);
}

void HistoryItemWidget::startRename()
{
    ui->label_openProject->hide();
    ui->lineEdit_rename->setText(QFileInfo(m_path).completeBaseName());
    ui->lineEdit_rename->show();
    ui->lineEdit_rename->setFocus();
    ui->lineEdit_rename->selectAll();
}

void HistoryItemWidget::refuse(const QString &text)
{
    MessageBox::inform(this, ZKEY("historyitemwidget.RenameFailed"), text,
                       ZKEY("historyitemwidget.Ok"));
}

void HistoryItemWidget::slot_renameFinished()
{
    if (g_renaming || ui->lineEdit_rename->isHidden())
        return;
    g_renaming = true;
    const QFileInfo file(m_path);
    QString name = ui->lineEdit_rename->text().trimmed();
    if (!file.exists()) {
        refuse(ZTR("historyitemwidget.FileNoExist") + QStringLiteral(":\n%1").arg(m_path));
    } else if (!name.isEmpty()) {
        if (!name.endsWith(QLatin1String(".zua2"), Qt::CaseInsensitive))
            name += QStringLiteral(".zua2");
        const QString target = file.absolutePath() + '/' + name;
        if (name == file.fileName()) {
            // nothing to rename
        } else if (hasForbiddenNameCharacter(name)) {
            refuse(ZTR("historyitemwidget.NameList") + QStringLiteral(": ") +
                   forbiddenNameCharacters());
        } else if (QFileInfo::exists(target)) {
            refuse(ZTR("historyitemwidget.AreadyExist") + QStringLiteral("：\n%1").arg(target));
        } else if (!QFile::rename(m_path, target)) {
            refuse(ZTR("historyitemwidget.WriteForbidden") +
                   QStringLiteral(":\n%1\n%2").arg(m_path, target));
        } else {
            setProjectPath(target);
        }
    }
    slot_renameRejected();
    g_renaming = false;
}

void HistoryItemWidget::slot_renameRejected()
{
    ui->lineEdit_rename->hide();
    ui->label_openProject->show();
}

bool HistoryItemWidget::eventFilter(QObject *watched, QEvent *event)
{
    // Escape leaves the name as it was.
    if (watched == ui->lineEdit_rename && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent *>(event)->key() == Qt::Key_Escape) {
        slot_renameRejected();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void HistoryItemWidget::contextMenuEvent(QContextMenuEvent *event)
{
    QMenu menu(this);
    connect(menu.addAction(QIcon(QStringLiteral(":/res_form/images/edit.png")),
                           ZTR("historyitemwidget.EditProject")),
            &QAction::triggered, this, [this] { emit signal_openProject(m_path); });
    connect(menu.addAction(QIcon(QStringLiteral(":/res_form/images/rename.png")),
                           ZTR("historyitemwidget.Rename")),
            &QAction::triggered, this, &HistoryItemWidget::startRename);
    connect(menu.addAction(QIcon(QStringLiteral(":/res_form/images/explorer.png")),
                           ZTR("historyitemwidget.OpenDir")),
            &QAction::triggered, this,
            [this] { bg::SystemServices::revealInFileManager(m_path.toStdString()); });
    menu.addSeparator();
    connect(menu.addAction(QIcon(QStringLiteral(":/res_form/images/open.png")),
                           ZTR("historyitemwidget.LoadProject")),
            &QAction::triggered, this, &HistoryItemWidget::signal_addWork);
    connect(menu.addAction(QIcon(QStringLiteral(":/res_form/images/delete.png")),
                           ZTR("historyitemwidget.RemoveFromList")),
            &QAction::triggered, this, [this] { emit signal_removeProject(m_path); });
    menu.exec(event->globalPos());
}

void HistoryItemWidget::mouseDoubleClickEvent(QMouseEvent *)
{
    emit signal_openProject(m_path);
}
