#pragma once
// The preview item of a subtitle track: the clip's text rendered to an image with
// its font and colour, drawn with "rgba_subtitle".
// Lives on: setSubtitle on the main thread; prepare/draw on the render thread.

#include "PreviewItem.h"

#include <QColor>
#include <QFont>
#include <QImage>
#include <QString>
#include <mutex>

#include <memory>

class GsConstantBuffer;
class GsTexture;

class SubtitlePreviewItem : public PreviewItem {
public:
    SubtitlePreviewItem();
    ~SubtitlePreviewItem() override;

    // The clip's text, look and box; the item grows to hold the text, never shrinks.
    void setSubtitle(const QString &text, const QFont &font, const QColor &colour,
                     float transparency);
    QSize textBox() const { return m_textBox; }
    QImage image() const;

    void prepare() override;
    void draw() override;

private:
    void render();

    QString m_text;
    QFont m_font;
    QColor m_colour;
    float m_transparency = 1.0f;
    QSize m_textBox;
    QSize m_renderedSize; // item size of the last rendered image; empty before the first
    mutable std::mutex m_mutex;
    QImage m_pending;
    bool m_hasPending = false;
    float m_drawTransparency = 1.0f;
    std::unique_ptr<GsTexture> m_texture;
    std::unique_ptr<GsConstantBuffer> m_constants;
};
