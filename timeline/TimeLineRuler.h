#pragma once
// The time scale above the clips with the playhead marker; clicking or dragging
// on it seeks. It mirrors the clip view's zoom, scroll and length, and shows the
// transport's playhead.
// Lives on: main thread.

#include "TimelineTypes.h"
#include <QPointer>
#include <QWidget>

#include <cstdint>

class Transport;

class TimeLineRuler : public QWidget {
    Q_OBJECT
public:
    explicit TimeLineRuler(QWidget *parent = nullptr);

    // Major tick spacing (frames) and minor divisions of a zoom level.
    static int64_t majorStep(int level);
    static int divisions(int level);
    // "hh:mm:ss, ff" of a frame at 30 frames a second.
    static QString label(int64_t frame);

    // The transport whose playhead the marker shows.
    void setTransport(Transport *transport);
    int64_t playhead() const;
    int64_t total() const { return m_total; }
    int scroll() const { return m_scroll; }
    int level() const { return m_level; }

signals:
    void sig_viewportRangeUpdate(int value, int64_t pix);
    void sig_scaleStepView(bool positive);
    void sig_opertorUi(bool stopPlay, bool stopRecord);

public slots:
    void slot_scaleValue(int times, double scale, int offset);
    void slot_offsetChange(int offset);
    void slot_offsetrangeChanged(int min, int max);
    void slot_limitPosX(double x);
    void slot_moveValue(int offset, double x);

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    double frameWidth() const { return timeline::kFrameWidth * m_scale; }
    void seek(int64_t frame);

    double m_scale = 0.022518;
    int m_level = 12;
    QPointer<Transport> m_transport;
    int64_t m_total = 0;
    int m_scroll = 0;
    int m_scrollMax = 0;
};
