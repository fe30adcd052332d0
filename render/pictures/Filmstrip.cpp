#include "Filmstrip.h"

#include "common/SoundFormat.h"
#include "render/proxy/ProxyStore.h"

#include "media/FFDecoder.h"
#include "media/MovieInfo.h"

#include <QImageWriter>
#include <QPainter>
#include <QSaveFile>

#include <algorithm>
#include <cmath>

Filmstrip::Filmstrip(QImage strip, int pictureWidth, double interval)
    : m_strip(std::move(strip)), m_width(std::max(1, pictureWidth)),
      m_count(m_strip.isNull() ? 0 : m_strip.width() / std::max(1, pictureWidth)),
      m_interval(interval > 0 ? interval : 1.0)
{}

Filmstrip Filmstrip::compute(const QString &materialPath, const std::atomic<bool> *cancel)
{
    const ff::MovieCtx *movie = ff::getMovieInfo(materialPath.toUtf8().constData(), cancel);
    const ff::StreamCtx *video = movie ? movie->videoStream() : nullptr;
    if (!video || video->width <= 0 || video->height <= 0)
        return Filmstrip();
    // One thread: it jumps from key frame to key frame, where more threads only add
    // a frame of delay each, and it must not take the cores playback needs. A
    // proxy, when there is one, has the same pictures for less work.
    ff::FFDecoder decoder;
    const QString proxy = ProxyStore::readyProxy(materialPath);
    const ff::MovieCtx *small =
        proxy.isEmpty() ? nullptr : ff::getMovieInfo(proxy.toUtf8().constData(), cancel);
    if (!(small && small->videoStream() &&
          decoder.open(*small->videoStream(), soundformat::kSampleRate, soundformat::kChannels,
                       1)) &&
        !decoder.open(*video, soundformat::kSampleRate, soundformat::kChannels, 1))
        return Filmstrip();
    const double seconds = std::max(0.04, movie->durationUs * 1e-6);
    const double interval = std::max(1.0, seconds / kMaxPictures);
    const int count = std::max(1, int(std::ceil(seconds / interval)));
    const int width = std::max(1, int(std::lround(double(kHeight) * video->width / video->height)));
    QImage strip(width * count, kHeight, QImage::Format_RGB32);
    strip.fill(Qt::black);
    QPainter painter(&strip);
    for (int i = 0; i < count; ++i) {
        if (cancel && *cancel)
            return Filmstrip();
        ff::VideoRequest at;
        at.time = ff::Rational(int64_t(std::llround(i * interval * 1000)), 1000);
        at.exact = 0; // the nearest key frame is picture enough at this size
        at.width = width;
        at.height = kHeight;
        const ff::VFramePtr frame = decoder.getVideoFrame(at);
        if (!frame)
            continue;
        const QImage picture(frame->data(), frame->width, frame->height, frame->stride,
                             QImage::Format_RGBA8888);
        painter.drawImage(QRect(i * width, 0, width, kHeight), picture);
    }
    painter.end();
    return Filmstrip(std::move(strip), width, interval);
}

QRect Filmstrip::pictureAt(double seconds) const
{
    if (isEmpty())
        return QRect();
    const int i = std::clamp(int(std::floor(std::max(0.0, seconds) / m_interval)), 0, m_count - 1);
    return QRect(i * m_width, 0, m_width, m_strip.height());
}

int Filmstrip::pictureWidthAt(int height) const
{
    return std::max(1, int(std::lround(double(m_width) * height / kHeight)));
}

const QImage &Filmstrip::scaledTo(int height) const
{
    if (height == kHeight)
        return m_strip;
    if (m_scaled.height() != height && !isEmpty()) {
        // Picture by picture, so that each keeps a whole number of columns.
        const int w = pictureWidthAt(height);
        m_scaled = QImage(w * m_count, height, QImage::Format_RGB32);
        QPainter painter(&m_scaled);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        for (int i = 0; i < m_count; ++i)
            painter.drawImage(QRect(i * w, 0, w, height), m_strip,
                              QRect(i * m_width, 0, m_width, m_strip.height()));
    }
    return m_scaled;
}

bool Filmstrip::save(const QString &file) const
{
    if (isEmpty())
        return false;
    QImage image = m_strip;
    image.setText(QStringLiteral("width"), QString::number(m_width));
    image.setText(QStringLiteral("interval"), QString::number(m_interval, 'g', 10));
    QSaveFile out(file);
    if (!out.open(QIODevice::WriteOnly))
        return false;
    QImageWriter writer(&out, "png");
    return writer.write(image) && out.flush() && out.commit();
}

Filmstrip Filmstrip::load(const QString &file)
{
    QImage image(file);
    if (image.isNull())
        return Filmstrip();
    bool widthOk = false, intervalOk = false;
    const int width = image.text(QStringLiteral("width")).toInt(&widthOk);
    const double interval = image.text(QStringLiteral("interval")).toDouble(&intervalOk);
    if (!widthOk || !intervalOk || width <= 0 || interval <= 0 || image.height() != kHeight)
        return Filmstrip();
    return Filmstrip(image.convertToFormat(QImage::Format_RGB32), width, interval);
}
