#pragma once
// The band a transition drag shows on the timeline: 3000 scene units wide and 25
// high around the cursor; the clips a transition can join that lie in it are
// tinted, each in a colour of its own, until the band moves off them.
// Lives on: main thread.

#include <QColor>
#include <QList>
#include <QPair>
#include <QPointF>
#include <QPointer>
#include <QRectF>

class QGraphicsScene;
class SourceItem;

class TransitionBand {
public:
    static QRectF around(const QPointF &scenePos);
    // Video and picture clips of `scene` in `band`.
    static QList<SourceItem *> joinableClips(QGraphicsScene *scene, const QRectF &band);

    bool active() const { return !m_rect.isNull(); }
    QRectF rect() const { return m_rect; }
    void highlight(QGraphicsScene *scene, const QPointF &scenePos);
    // Gives every tinted clip its kind's colour back.
    void clear();

private:
    QRectF m_rect;
    QList<QPair<QPointer<SourceItem>, QColor>> m_tinted;
};
