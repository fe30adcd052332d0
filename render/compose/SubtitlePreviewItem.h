#pragma once
// The preview item of a subtitle track: the clip's text rendered to an image with
// its font and colour, drawn with "rgba_subtitle". While playing, each frame's
// subtitle is shown when the playback clock says that frame is heard.
// Lives on: setSubtitle on the main thread (the text is painted there),
// scheduleSubtitle on the player thread while playing (painted there); prepare/draw
// on the render thread; scheduled states cross under m_mutex.

#include "PreviewItem.h"

#include <QColor>
#include <QFont>
#include <QImage>
#include <QString>
#include <mutex>

#include <QList>
#include <QRectF>

#include <memory>

class GsConstantBuffer;
class GsTexture;
class PlaybackClock;

// What a subtitle track shows at a frame.
struct SubtitleLook {
    bool shown = false;
    QString text;
    QFont font;
    QColor colour;
    float transparency = 1.0f;
    QRectF placement; // centre x, y and size in scene units
    float rotation = 0;
};

class SubtitlePreviewItem : public PreviewItem {
public:
    SubtitlePreviewItem();
    ~SubtitlePreviewItem() override;

    // The clip's text, look and box; the item grows to hold the text, never shrinks.
    void setSubtitle(const QString &text, const QFont &font, const QColor &colour,
                     float transparency);
    QSize textBox() const { return m_textBox; }
    QImage image() const;
    // Playback: what the track shows at `frame`, applied when that frame is heard.
    // A still request (setSubtitle, setVisible) drops what waits.
    void scheduleSubtitle(int64_t frame, const SubtitleLook &look);
    void dropScheduled();
    void setClock(std::shared_ptr<PlaybackClock> clock);

    void prepare() override;
    void draw() override;

    // A subtitle's picture is at most this wide and high: longer text wraps at the
    // width and what does not fit below is cut (a pasted novel must not take gigabytes
    // nor exceed what the graphics device takes as one texture).
    static constexpr int kMaxSide = 4096;
    // The box the text takes in `font`, lines wrapped within kMaxSide.
    static QSize textBoxOf(const QString &text, const QFont &font);
    // The text painted centred in a transparent picture of `size` (at most kMaxSide a side).
    static QImage paint(const QString &text, const QFont &font, const QColor &colour,
                        const QSize &textBox, const QSize &size);

private:
    struct Scheduled {
        int64_t frame;
        SubtitleLook look;
        QSizeF size;  // the item's size: the placement grown to hold the text
        QImage image; // painted anew when the look changed; null: unchanged
    };
    void render();
    // m_textBox for this text and font (laid out only when they changed).
    void measure(const QString &text, const QFont &font);
    void applyHeard(); // render thread

    QString m_text;
    QFont m_font;
    QColor m_colour;
    float m_transparency = 1.0f;
    QSize m_textBox;
    QString m_measuredText; // what m_textBox was measured for
    QFont m_measuredFont;
    bool m_measured = false;
    QSize m_renderedSize; // item size of the last rendered image; empty before the first
    mutable std::mutex m_mutex;
    QImage m_pending;
    bool m_hasPending = false;
    float m_drawTransparency = 1.0f;
    QList<Scheduled> m_scheduled;           // under m_mutex, oldest first
    std::shared_ptr<PlaybackClock> m_clock; // under m_mutex
    // The look last scheduled (under m_scheduleMutex, taken before m_mutex): an
    // unchanged one is not painted again.
    std::mutex m_scheduleMutex;
    QSize m_scheduleBox;
    QString m_scheduleMeasuredText;
    QFont m_scheduleMeasuredFont;
    bool m_scheduleMeasured = false;
    QString m_scheduledText;
    QFont m_scheduledFont;
    QColor m_scheduledColour;
    QSize m_scheduledSize;
    std::unique_ptr<GsTexture> m_texture;
    std::unique_ptr<GsConstantBuffer> m_constants;
};
