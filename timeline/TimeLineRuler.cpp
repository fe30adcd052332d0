#include "TimeLineRuler.h"

#include "render/Transport.h"

#include "common/FrameTime.h"

#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

TimeLineRuler::TimeLineRuler(QWidget *parent) : QWidget(parent) {}

int64_t TimeLineRuler::majorStep(int level)
{
    static const int64_t steps[25] = {5,    5,     5,     10,    10,     15,     15,    30,   30,
                                      90,   90,    150,   150,   450,    450,    900,   1800, 5400,
                                      9000, 18000, 18000, 54000, 108000, 324000, 540000};
    return steps[std::clamp(level, 0, 24)];
}

int TimeLineRuler::divisions(int level)
{
    level = std::clamp(level, 0, 24);
    return (level <= 6 || level == 11 || level == 12) ? 5 : 8;
}

QString TimeLineRuler::label(int64_t n)
{
    return frameTime(n, QStringLiteral(", "));
}

void TimeLineRuler::slot_scaleValue(int times, double scale, int offset)
{
    m_level = times;
    m_scale = scale;
    m_scroll = offset;
    update();
}

void TimeLineRuler::slot_offsetChange(int offset)
{
    m_scroll = offset;
    update();
}

void TimeLineRuler::slot_offsetrangeChanged(int, int max)
{
    m_scrollMax = max;
    update();
}

void TimeLineRuler::setTransport(Transport *transport)
{
    if (m_transport)
        disconnect(m_transport, nullptr, this, nullptr);
    m_transport = transport;
    if (transport)
        connect(transport, &Transport::sig_playheadMoved, this, qOverload<>(&QWidget::update));
    update();
}

int64_t TimeLineRuler::playhead() const
{
    return m_transport ? m_transport->playhead() : 0;
}

void TimeLineRuler::slot_limitPosX(double x)
{
    m_total = timeline::toFrames(x);
    // The timeline got shorter than where the playhead is: it goes to the end.
    if (playhead() > m_total)
        emit sig_viewportRangeUpdate(m_scroll, m_total);
    update();
}

void TimeLineRuler::slot_moveValue(int offset, double)
{
    m_scroll = offset;
    update();
}

void TimeLineRuler::seek(int64_t frame)
{
    emit sig_viewportRangeUpdate(m_scroll, frame);
    update();
}

void TimeLineRuler::mousePressEvent(QMouseEvent *event)
{
    emit sig_opertorUi(true, true);
    const double f = frameWidth();
    const double end = m_total * f; // the timeline's end in ruler pixels plus scroll
    const double at = std::min(m_scroll + double(event->pos().x()), end);
    seek(timeline::toFrames(at / m_scale));
}

void TimeLineRuler::mouseMoveEvent(QMouseEvent *event)
{
    if (!(event->buttons() & Qt::LeftButton))
        return;
    const double f = frameWidth();
    const int x = event->pos().x();
    const int w = width();
    if (x > w - 20 && m_scroll < m_scrollMax) {
        m_scroll = std::min(m_scroll + 50, m_scrollMax);
        seek(std::min(timeline::toFrames((m_scroll + w - 20) / m_scale), m_total));
    } else if (x < 20 && m_scroll > 0) {
        m_scroll = std::max(m_scroll - 50, 0);
        seek(timeline::toFrames((m_scroll + 20 + f) / m_scale));
    } else {
        const double limited = std::clamp(double(x), 0.0, std::max(0.0, m_total * f - m_scroll));
        seek(timeline::toFrames((m_scroll + limited) / m_scale));
    }
}

void TimeLineRuler::wheelEvent(QWheelEvent *event)
{
    QWidget::wheelEvent(event);
    emit sig_scaleStepView(event->angleDelta().y() > 0);
}

void TimeLineRuler::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    QFont font(QStringLiteral("Microsoft YaHei"));
    font.setPointSize(8);
    p.setFont(font);
    p.setPen(QColor("#9b9b9b"));
    const int bottom = height();
    const double f = frameWidth();
    const int64_t step = majorStep(m_level);
    const int d = divisions(m_level);
    const double g = step * f;
    if (g > 0) {
        int64_t k = int64_t(m_scroll / g);
        for (double x = k * g - m_scroll; x < width(); x += g, ++k) {
            p.drawLine(QPointF(x, bottom), QPointF(x, bottom - 12));
            const QString text = label(k * step);
            const double tw = p.fontMetrics().horizontalAdvance(text);
            p.drawText(QPointF(k == 0 ? x : x - tw / 2, bottom - 20), text);
            for (int i = 1; i < d; ++i) {
                const double mx = x + i * g / d;
                p.drawLine(QPointF(mx, bottom), QPointF(mx, bottom - 5));
            }
        }
    }
    const double px = playhead() * f - m_scroll;
    const QPointF marker[5] = {{px, double(bottom)},
                               {px + 5, bottom - 5.0},
                               {px + 5, bottom - 15.0},
                               {px - 5, bottom - 15.0},
                               {px - 5, bottom - 5.0}};
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QColor("#f5a623"));
    p.setBrush(QColor("#f5a623"));
    p.drawPolygon(marker, 5);
}
