#include "ArchivedProcessDialog.h"

#include "common/Translate.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

ArchivedProcessDialog::ArchivedProcessDialog(QWidget *parent)
    : QDialog(parent), m_bar(new QProgressBar(this))
{
    setWindowModality(Qt::ApplicationModal);
    setWindowTitle(ZTR("archivedprocessdialog.SourceArchive"));
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(ZTR("archivedprocessdialog.SourceArchive"), this));
    layout->addWidget(m_bar);
    auto *cancel = new QPushButton(ZTR("archivedprocessdialog.Cancel"), this);
    cancel->setObjectName(QStringLiteral("pushButton_cancel"));
    connect(cancel, &QPushButton::clicked, this, &ArchivedProcessDialog::sig_cancel);
    layout->addWidget(cancel, 0, Qt::AlignRight);
    setMinimumWidth(360);
}

void ArchivedProcessDialog::setProgress(int done, int total)
{
    m_bar->setRange(0, total);
    m_bar->setValue(done);
}
