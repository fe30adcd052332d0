#include "SubtitlePreviewItem.h"

#include "bridge/Logger.h"
#include "graphics/GsScene.h"
#include "graphics/GsTexture.h"

#include <QFontMetrics>
#include <QPainter>

SubtitlePreviewItem::SubtitlePreviewItem()
{
    SetOrder(10000);
}

SubtitlePreviewItem::~SubtitlePreviewItem() = default;

void SubtitlePreviewItem::setSubtitle(const QString &text, const QFont &font, const QColor &colour,
                                      float transparency)
{
    // Called for every frame while playing: the same subtitle is not painted and
    // uploaded again unless something it shows has changed.
    const bool same = !m_renderedSize.isEmpty() && text == m_text && font == m_font &&
                      colour == m_colour && transparency == m_transparency;
    m_text = text;
    m_font = font;
    m_colour = colour;
    m_transparency = transparency;
    const QFontMetrics metrics(font);
    int widest = 0;
    for (const QString &line : text.split('\n'))
        widest = std::max(widest, metrics.horizontalAdvance(line));
    m_textBox = QSize(widest + 12, (text.count('\n') + 1) * metrics.lineSpacing() + 12);
    // Grow to hold the text; never shrink.
    Resize(std::max(size().x, float(m_textBox.width())),
           std::max(size().y, float(m_textBox.height())));
    if (same && m_renderedSize == QSize(int(size().x), int(size().y)))
        return;
    render();
}

void SubtitlePreviewItem::render()
{
    m_renderedSize = QSize(int(size().x), int(size().y));
    QImage img(std::max(1, int(size().x)), std::max(1, int(size().y)), QImage::Format_RGBA8888);
    img.fill(Qt::transparent);
    if (!m_text.isEmpty()) {
        QPainter painter(&img);
        painter.setRenderHint(QPainter::TextAntialiasing);
        painter.setFont(m_font);
        painter.setPen(m_colour);
        QRect box(QPoint(0, 0), m_textBox);
        box.moveCenter(img.rect().center());
        painter.drawText(box, Qt::AlignCenter, m_text);
    }
    std::lock_guard<std::mutex> lock(m_mutex);
    m_pending = img;
    m_hasPending = true;
    m_drawTransparency = m_transparency;
}

QImage SubtitlePreviewItem::image() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_pending;
}

void SubtitlePreviewItem::prepare()
{
    if (!visible)
        return;
    QImage img;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!m_hasPending)
            return;
        img = m_pending;
        m_hasPending = false;
    }
    if (!img.isNull())
        m_texture = std::make_unique<GsTexture>(img.constBits(), img.bytesPerLine(), GS_RGBA,
                                                img.width(), img.height());
}

void SubtitlePreviewItem::draw()
{
    if (!m_texture || !visible || !scene())
        return;
    if (!m_constants)
        m_constants = std::make_unique<GsConstantBuffer>(16);
    const float constants[4] = {m_drawTransparency, 0, 0, 0};
    m_constants->Update(constants, sizeof constants);
    if (!GsContextDefault::BindShader("rgba_subtitle"))
        return;
    m_constants->Bind();
    GsTextureBinder bind(m_texture.get());
    const float w = float(scene()->width()), h = float(scene()->height());
    GsContextDefault::DrawRect(transform(), {w, h}, m_texture.get());
    GsContextDefault::UnbindShader();
}
