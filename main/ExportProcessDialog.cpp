#include "ExportProcessDialog.h"
#include "ui_ExportProcessDialog.h"

#include "common/MessageBox.h"
#include "common/QssManager.h"
#include "common/Translate.h"

#include "bridge/UserSettings.h"

#include <algorithm>

ExportProcessDialog::ExportProcessDialog(QWidget *parent)
    : QDialog(parent), ui(new Ui::ExportProcessDialog)
{
    ui->setupUi(this);
    setWindowModality(Qt::ApplicationModal);
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowMinimizeButtonHint);
    (new QssManager(this))->loadStyleSheet(QStringLiteral(":/qss/exportprocess-dialog.css"));
    connect(ui->pushButton_runback, &QPushButton::clicked, this, [this] {
        bg::UserSettings::instance().set("showMini", "true");
        showMinimized();
    });
    // Until the file is complete no button is the default (Enter stops nothing), and
    // "Done" asks before stopping, as Escape does.
    connect(ui->pushButton_acheive, &QPushButton::clicked, this, [this] {
        if (m_finished)
            accept();
        else
            reject();
    });
    for (QPushButton *button : {ui->pushButton_runback, ui->pushButton_acheive}) {
        button->setAutoDefault(false);
        button->setDefault(false);
    }
}

ExportProcessDialog::~ExportProcessDialog()
{
    delete ui;
}

int ExportProcessDialog::value() const
{
    return ui->progressBar->value();
}

int ExportProcessDialog::maximum() const
{
    return ui->progressBar->maximum();
}

void ExportProcessDialog::slot_processUpdate(int value, int max)
{
    if (m_finished)
        return;
    m_max = std::max(max, 0);
    ui->progressBar->setRange(0, m_max);
    ui->progressBar->setValue(std::min(value, max));
}

void ExportProcessDialog::slot_finishing()
{
    if (m_finished)
        return;
    ui->progressBar->setRange(0, 0);
    ui->label_state->setText(ZTR("exportmvdialog.Finishing"));
}

void ExportProcessDialog::reject()
{
    if (!m_finished) {
        MessageSpec ask;
        ask.titleKey = ZKEY("exportmvwindow.Hint");
        ask.text = ZTR("exportmvdialog.AskStop");
        ask.buttonKeys = QStringList{ZKEY("exportmvdialog.Stop"), ZKEY("exportmvdialog.Continue")};
        ask.defaultButton = 1;
        ask.escapeButton = 1;
        ask.parent = this;
        // The run may have ended while the question was open: nothing is left to stop.
        if (MessageBox::show(ask) != 0 && !m_finished)
            return;
    }
    QDialog::reject();
}

void ExportProcessDialog::slot_finished()
{
    m_finished = true;
    // A full bar that stands still (the finishing step had made it a busy one).
    ui->progressBar->setRange(0, std::max(m_max, 1));
    ui->progressBar->setValue(ui->progressBar->maximum());
    ui->pushButton_acheive->setDefault(true);
    ui->label_state->setText(ZTR("exportmvdialog.Finished"));
    if (isMinimized())
        showNormal();
}
