#include "EmptyMaterialWidget.h"

#include "DroppedFiles.h"

#include "common/Translate.h"

#include <QDragEnterEvent>
#include <QLabel>
#include <QMimeData>
#include <QPainter>
#include <QStyleOption>
#include <QVBoxLayout>

EmptyMaterialWidget::EmptyMaterialWidget(QWidget *parent) : QWidget(parent)
{
    setAcceptDrops(true);
    auto *layout = new QVBoxLayout(this);
    layout->addStretch(1);
    auto *logo = new QLabel(this);
    logo->setObjectName(QStringLiteral("label_empty_logo"));
    logo->setPixmap(QPixmap(QStringLiteral(":/image/resource-empty.png")));
    logo->setAlignment(Qt::AlignCenter);
    auto *note = new QLabel(ZTR("res_form.emptyNote"), this);
    note->setObjectName(QStringLiteral("label_empty_note"));
    note->setAlignment(Qt::AlignCenter);
    note->setWordWrap(true);
    layout->addWidget(logo);
    layout->addWidget(note);
    layout->addStretch(2);
}

void EmptyMaterialWidget::paintEvent(QPaintEvent *)
{
    // Lets the style sheet draw this plain widget's background and border.
    QStyleOption option;
    option.initFrom(this);
    QPainter painter(this);
    style()->drawPrimitive(QStyle::PE_Widget, &option, &painter, this);
}

void EmptyMaterialWidget::dragEnterEvent(QDragEnterEvent *event)
{
    carriesFiles(event->mimeData()) ? event->acceptProposedAction() : event->ignore();
}

void EmptyMaterialWidget::dragMoveEvent(QDragMoveEvent *event)
{
    carriesFiles(event->mimeData()) ? event->acceptProposedAction() : event->ignore();
}

void EmptyMaterialWidget::dropEvent(QDropEvent *event)
{
    if (!carriesFiles(event->mimeData()))
        return;
    event->acceptProposedAction();
    const DroppedFiles dropped = takeDroppedFiles(event->mimeData()->urls());
    if (!dropped.project.isEmpty())
        emit sig_openProject(dropped.project);
    else if (!dropped.files.isEmpty())
        emit sig_addNewMaterial(dropped.files);
}
