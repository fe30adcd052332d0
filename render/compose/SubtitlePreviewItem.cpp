#include "SubtitlePreviewItem.h"

#include "render/player/PlaybackClock.h"

#include "bridge/Logger.h"
#include "bridge/SystemServices.h"
#include "graphics/GsScene.h"
#include "graphics/GsTexture.h"

#include <QFontMetrics>
#include <QPainter>

#include <algorithm>

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
    measure(text, font);
    // Grow to hold the text; never shrink, nor grow past the largest picture.
    Resize(std::min(std::max(size().x, float(m_textBox.width())), float(kMaxSide)),
           std::min(std::max(size().y, float(m_textBox.height())), float(kMaxSide)));
    if (same && m_renderedSize == QSize(int(size().x), int(size().y)))
        return;
    render();
}

namespace {
constexpr int kMargin = 12;
constexpr int kFlags = Qt::AlignCenter | Qt::TextWordWrap | Qt::TextWrapAnywhere;
} // namespace

QSize SubtitlePreviewItem::textBoxOf(const QString &text, const QFont &font)
{
    const QFontMetrics metrics(font);
    const int inner = kMaxSide - kMargin;
    const QRect box = metrics.boundingRect(QRect(0, 0, inner, 1 << 24), kFlags, text);
    return QSize(std::min(box.width(), inner) + kMargin,
                 std::min(std::max(box.height(), metrics.lineSpacing()), inner) + kMargin);
}

QImage SubtitlePreviewItem::paint(const QString &text, const QFont &font, const QColor &colour,
                                  const QSize &textBox, const QSize &size)
{
    QImage img(std::clamp(size.width(), 1, kMaxSide), std::clamp(size.height(), 1, kMaxSide),
               QImage::Format_RGBA8888);
    img.fill(Qt::transparent);
    if (!text.isEmpty()) {
        QPainter painter(&img);
        painter.setRenderHint(QPainter::TextAntialiasing);
        painter.setFont(font);
        painter.setPen(colour);
        QRect box(QPoint(0, 0), textBox);
        box.moveCenter(img.rect().center());
        painter.setClipRect(img.rect());
        painter.drawText(box, kFlags, text);
    }
    return img;
}

void SubtitlePreviewItem::measure(const QString &text, const QFont &font)
{
    // Both paths run for every frame while playing: the text is laid out again only
    // when it or its font changed.
    if (m_measured && text == m_measuredText && font == m_measuredFont)
        return;
    m_textBox = textBoxOf(text, font);
    m_measuredText = text;
    m_measuredFont = font;
    m_measured = true;
}

void SubtitlePreviewItem::render()
{
    m_renderedSize = QSize(int(size().x), int(size().y));
    const QImage img = paint(m_text, m_font, m_colour, m_textBox, m_renderedSize);
    std::lock_guard<std::mutex> lock(m_mutex);
    m_scheduled.clear(); // a still picture replaces what playback left waiting
    m_pending = img;
    m_hasPending = true;
    m_drawTransparency = m_transparency;
}

void SubtitlePreviewItem::scheduleSubtitle(int64_t frame, const SubtitleLook &look)
{
    // Called by the player thread (or the main thread when it places the frame):
    // the scheduled look has a layout cache of its own.
    std::lock_guard<std::mutex> layout(m_scheduleMutex);
    Scheduled next{frame, look, look.placement.size(), QImage()};
    if (look.shown) {
        if (!m_scheduleMeasured || look.text != m_scheduleMeasuredText ||
            look.font != m_scheduleMeasuredFont) {
            m_scheduleBox = textBoxOf(look.text, look.font);
            m_scheduleMeasuredText = look.text;
            m_scheduleMeasuredFont = look.font;
            m_scheduleMeasured = true;
        }
        next.size = QSizeF(std::max(look.placement.width(), double(m_scheduleBox.width())),
                           std::max(look.placement.height(), double(m_scheduleBox.height())));
        const QSize pixels(std::min(int(next.size.width()), kMaxSide),
                           std::min(int(next.size.height()), kMaxSide));
        if (look.text != m_scheduledText || look.font != m_scheduledFont ||
            look.colour != m_scheduledColour || pixels != m_scheduledSize) {
            next.image = paint(look.text, look.font, look.colour, m_scheduleBox, pixels);
            m_scheduledText = look.text;
            m_scheduledFont = look.font;
            m_scheduledColour = look.colour;
            m_scheduledSize = pixels;
        }
    }
    std::lock_guard<std::mutex> lock(m_mutex);
    m_scheduled << next;
    while (m_scheduled.size() > 16) { // the clock stopped moving: keep the newest
        if (m_scheduled[1].image.isNull())
            m_scheduled[1].image = m_scheduled[0].image; // its picture is still the one to show
        m_scheduled.removeFirst();
    }
}

void SubtitlePreviewItem::dropScheduled()
{
    std::lock_guard<std::mutex> layout(m_scheduleMutex);
    std::lock_guard<std::mutex> lock(m_mutex);
    m_scheduled.clear();
    m_scheduledSize = QSize(); // the next scheduled look is painted anew
}

void SubtitlePreviewItem::setClock(std::shared_ptr<PlaybackClock> clock)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_clock = std::move(clock);
}

void SubtitlePreviewItem::applyHeard()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_scheduled.isEmpty())
        return;
    const int64_t heard =
        m_clock ? m_clock->heardFrame(bg::SystemServices::monotonicMicros()) : int64_t(-1);
    int pick = -1;
    for (int i = 0; i < m_scheduled.size(); ++i)
        if (heard < 0 || m_scheduled[i].frame <= heard)
            pick = i;
    if (pick < 0)
        return;
    // The newest image painted up to the chosen state is the one it shows.
    QImage image;
    for (int i = 0; i <= pick; ++i)
        if (!m_scheduled[i].image.isNull())
            image = m_scheduled[i].image;
    const Scheduled &s = m_scheduled[pick];
    if (s.look.shown) {
        MoveTo(float(s.look.placement.x()), float(s.look.placement.y()));
        Resize(float(s.size.width()), float(s.size.height()));
        SetRotation(s.look.rotation);
        m_drawTransparency = s.look.transparency;
        if (!image.isNull()) {
            m_pending = image;
            m_hasPending = true;
        }
    }
    setVisible(s.look.shown);
    m_scheduled.erase(m_scheduled.begin(), m_scheduled.begin() + pick + 1);
}

QImage SubtitlePreviewItem::image() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_pending;
}

void SubtitlePreviewItem::prepare()
{
    applyHeard();
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
