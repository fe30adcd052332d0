#include "ArchivedProcessDialog.h"

#include "common/QssManager.h"
#include "common/Translate.h"

#include <QFrame>
#include <QLabel>
#include <QLocale>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

ArchivedProcessDialog::ArchivedProcessDialog(QWidget *parent)
    : QDialog(parent), m_bar(new QProgressBar), m_state(new QLabel)
{
    setObjectName(QStringLiteral("ArchivedProcessDialog"));
    setWindowModality(Qt::ApplicationModal);
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
    setAttribute(Qt::WA_TranslucentBackground);
    setWindowTitle(ZTR("archivedprocessdialog.SourceArchive"));
    const double scale = QssManager::screenScale();
    setFixedSize(qRound(400 * scale), qRound(260 * scale));
    (new QssManager(this))->loadStyleSheet(QStringLiteral(":/qss/archivedprocess-dialog.css"));

    auto *frame = new QFrame(this);
    frame->setObjectName(QStringLiteral("frame"));
    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(frame);

    auto *title = new QLabel(ZTR("archivedprocessdialog.SourceArchive"));
    title->setObjectName(QStringLiteral("label_title"));
    auto *picture = new QLabel;
    picture->setObjectName(QStringLiteral("label_picture"));
    m_state->setObjectName(QStringLiteral("label_state"));
    m_bar->setObjectName(QStringLiteral("progressBar"));
    auto *cancel = new QPushButton(ZTR("archivedprocessdialog.Cancel"));
    cancel->setObjectName(QStringLiteral("pushButton_cancel"));
    connect(cancel, &QPushButton::clicked, this, &ArchivedProcessDialog::sig_cancel);

    auto *layout = new QVBoxLayout(frame);
    layout->setContentsMargins(24, 18, 24, 18);
    for (QLabel *label : {title, picture, m_state})
        layout->addWidget(label, 0, Qt::AlignHCenter);
    layout->addWidget(m_bar);
    layout->addWidget(cancel, 0, Qt::AlignHCenter);
}

void ArchivedProcessDialog::setProgress(qint64 done, qint64 total)
{
    if (total <= 0) {
        m_bar->setRange(0, 0);
        m_state->clear();
        return;
    }
    m_bar->setRange(0, 1000);
    m_bar->setValue(int(qBound<qint64>(0, done * 1000 / total, 1000)));
    const QLocale locale;
    m_state->setText(ZTR("archivedprocessdialog.Copied")
                         .arg(locale.formattedDataSize(done), locale.formattedDataSize(total)));
}

void ArchivedProcessDialog::reject()
{
    emit sig_cancel();
}
