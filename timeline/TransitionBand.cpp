#include "TransitionBand.h"

#include "SourceItem.h"

#include <QGraphicsScene>
#include <QRandomGenerator>

#include <algorithm>

QRectF TransitionBand::around(const QPointF &p)
{
    return QRectF(p.x() - 1500, p.y() - 12, 3000, 25);
}

QList<SourceItem *> TransitionBand::joinableClips(QGraphicsScene *scene, const QRectF &band)
{
    QList<SourceItem *> clips;
    if (!scene)
        return clips;
    for (QGraphicsItem *item : scene->items(band))
        if (item->type() == SourceItem::Type) {
            auto *clip = static_cast<SourceItem *>(item);
            if (clip->kind == CT_VIDEO || clip->kind == CT_PICTURE)
                clips << clip;
        }
    return clips;
}

void TransitionBand::highlight(QGraphicsScene *scene, const QPointF &p)
{
    static const QColor colours[] = {QColor(0x0FBCF9), QColor(0xFF0000), QColor(0x9A32FF),
                                     QColor(0xF7C431), QColor(0x00FF3B)};
    m_rect = around(p);
    QList<QPair<QPointer<SourceItem>, QColor>> now;
    for (SourceItem *clip : joinableClips(scene, m_rect)) {
        // A clip keeps its colour while the band stays over it.
        QColor colour = colours[QRandomGenerator::global()->bounded(5)];
        for (const auto &tinted : qAsConst(m_tinted))
            if (tinted.first == clip)
                colour = tinted.second;
        clip->setColor(colour);
        now << qMakePair(QPointer<SourceItem>(clip), colour);
    }
    for (const auto &tinted : qAsConst(m_tinted)) {
        const bool stays = std::any_of(
            now.begin(), now.end(), [&tinted](const auto &n) { return n.first == tinted.first; });
        if (tinted.first && !stays)
            tinted.first->setColor(QColor()); // its kind's colour again
    }
    m_tinted = now;
}

void TransitionBand::clear()
{
    for (const auto &tinted : qAsConst(m_tinted))
        if (tinted.first)
            tinted.first->setColor(QColor());
    m_tinted.clear();
    m_rect = QRectF();
}
