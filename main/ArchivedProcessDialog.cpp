#include "ArchivedProcessDialog.h"

#include <QProgressBar>
#include <QVBoxLayout>

ArchivedProcessDialog::ArchivedProcessDialog(QWidget *parent)
    : QDialog(parent), m_bar(new QProgressBar(this))
{
    setWindowModality(Qt::ApplicationModal);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_bar);
}

void ArchivedProcessDialog::setProgress(int done, int total)
{
    m_bar->setRange(0, total);
    m_bar->setValue(done);
}
