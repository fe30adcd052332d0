#include "PlainFrames.h"

#include "ExportClipItem.h"
#include "ExportGraph.h"

#include <QDataStream>
#include <QSet>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

// Luma weights of the matrix: red, blue (green is the rest).
void weightsOf(int matrix, double *kr, double *kb)
{
    *kr = matrix == 709 ? 0.2126 : 0.299;
    *kb = matrix == 709 ? 0.0722 : 0.114;
}

// The cross dissolve's program: mixes the two sides linearly, which YUV allows too.
const QString kDissolve = QStringLiteral("over_cross");

bool hasColourControls(const FrameSource &s)
{
    return s.temperature != 0 || s.saturation != 0 || s.hue != 0 || s.brightness != 0 ||
           s.contrast != 0 || s.highlight != 0;
}

} // namespace

PlainFrames::PlainFrames(ExportGraph &graph, int matrix) : m_graph(graph), m_matrix(matrix)
{
    m_output = graph.outputSize();
    m_possible = (matrix == 601 || matrix == 709) && graph.drawnSize() == m_output &&
                 m_output.width() % 2 == 0 && m_output.height() % 2 == 0 && !m_output.isEmpty();
}

bool PlainFrames::covers(const TrackFrame &track, const FrameSource &s)
{
    if (s.transparency < 1.0f || hasColourControls(s))
        return false;
    ExportClipItem *item = m_graph.clipItemFor(track);
    return item && item->fillsScene(s);
}

bool PlainFrames::coversWhole(const TrackFrame &t)
{
    const VideoFrameData &r = t.request;
    if (r.showMask == SHOW_CLIP)
        return covers(t, r.current);
    return r.showMask == SHOW_TRANSITION && r.shader == kDissolve && covers(t, r.from) &&
           covers(t, r.to);
}

int PlainFrames::baseOf(const QList<TrackFrame> &tracks, QList<int> &overlays)
{
    QList<int> shown; // tracks that draw something, top first
    for (int i = 0; i < tracks.size(); ++i) {
        const TrackFrame &t = tracks[i];
        if (t.subtitleTrack ? !t.clip.isEmpty() && !t.text.isEmpty() : t.request.showMask != 0)
            shown << i;
    }
    std::stable_sort(shown.begin(), shown.end(),
                     [&](int a, int b) { return tracks[a].zValue > tracks[b].zValue; });
    for (int i : qAsConst(shown)) {
        const TrackFrame &t = tracks[i];
        if (!t.subtitleTrack && coversWhole(t))
            return i;
        if (!t.subtitleTrack && (t.request.showMask & SHOW_TRANSITION))
            return -1; // other transitions are composed
        overlays << i;
    }
    return -1;
}

QByteArray PlainFrames::signature(const QList<TrackFrame> &tracks, const QList<int> &overlays) const
{
    // What the overlays look like: their pictures (the decoder hands the same picture
    // again while it is unchanged), places and looks.
    QByteArray out;
    QDataStream s(&out, QIODevice::WriteOnly);
    for (int i : overlays) {
        const TrackFrame &t = tracks[i];
        s << t.track << t.zValue;
        if (t.subtitleTrack) {
            s << t.text << t.font.toString() << t.color.rgba() << t.transparency << t.placement
              << t.rotate;
            continue;
        }
        const auto *item = m_graph.clipItem(t.track);
        if (!item)
            continue;
        const VFrameInfo &slot = item->current().current;
        const gs_transform placed = item->transform();
        s << quint64(reinterpret_cast<quintptr>(slot.frame.get()))
          << qint64(slot.frame ? slot.frame->ptsUs : -1) << placed.x << placed.y << placed.width
          << placed.height << placed.rotation << slot.transparency << slot.temperature
          << slot.saturation << slot.hue << slot.brightness << slot.contrast << slot.highlight
          << slot.fitMode << slot.crop;
    }
    return out;
}

std::shared_ptr<ff::VFrameCtx> PlainFrames::outputBuffer()
{
    for (auto &buffer : m_buffers)
        if (buffer.use_count() == 1)
            return buffer;
    auto buffer = std::make_shared<ff::VFrameCtx>();
    buffer->allocateYuv(m_output.width(), m_output.height());
    if (m_buffers.size() < 4)
        m_buffers.push_back(buffer);
    return buffer;
}

ff::VFramePtr PlainFrames::make(const QList<TrackFrame> &tracks)
{
    if (!m_possible)
        return nullptr;
    QList<int> overlays;
    const int base = baseOf(tracks, overlays);
    if (base < 0)
        return nullptr;
    // The base track's item keeps its decoders: the graph decodes with the same.
    ExportClipItem *item = m_graph.clipItemFor(tracks[base]);
    if (!item)
        return nullptr;
    QList<TrackFrame> above;
    for (int i : qAsConst(overlays))
        above << tracks[i];
    m_graph.place(above);
    const QByteArray look = signature(tracks, overlays);
    const bool changed = look != m_previousSignature;
    m_previousSignature = look;
    if (look != m_overlaySignature) {
        // Overlays that change on every frame (a video, an animation) are composed.
        if (changed && m_previousChanged)
            return nullptr;
        QSet<QString> alone;
        for (int i : qAsConst(overlays))
            alone.insert(tracks[i].track);
        m_overlay = Overlay();
        if (!overlays.isEmpty()) {
            if (!m_graph.composeAlone(alone, m_rgba))
                return nullptr;
            m_overlay = overlayOf(m_rgba, m_output, m_matrix);
            ++m_overlayRenders;
        }
        m_overlaySignature = look;
    }
    m_previousChanged = changed;

    std::shared_ptr<ff::VFrameCtx> mixed;
    const ff::VFramePtr clip = basePicture(tracks[base], *item, &mixed);
    if (!clip)
        return nullptr; // another matrix, alpha, or unreadable: composed
    if (m_overlay.rect.isEmpty())
        return clip; // handed on as it is (the writer copies it into its own picture)
    if (mixed) {
        blend(m_overlay, *mixed);
        return mixed;
    }
    // Blended into a copy: the decoder hands the same picture again for a held frame.
    std::shared_ptr<ff::VFrameCtx> out = outputBuffer();
    for (int p = 0; p < 3; ++p) {
        const int rows = p == 0 ? out->height : (out->height + 1) / 2;
        const int bytes = p == 0 ? out->width : (out->width + 1) / 2;
        for (int y = 0; y < rows; ++y)
            std::memcpy(out->plane(p) + size_t(y) * size_t(out->planeStride(p)),
                        clip->plane(p) + size_t(y) * size_t(clip->planeStride(p)), size_t(bytes));
    }
    out->ptsUs = clip->ptsUs;
    blend(m_overlay, *out);
    return out;
}

ff::VFramePtr PlainFrames::basePicture(const TrackFrame &base, ExportClipItem &item,
                                       std::shared_ptr<ff::VFrameCtx> *mixed)
{
    const bool crossing = base.request.showMask == SHOW_TRANSITION;
    VideoFrameData request;
    request.decodeMask = crossing ? DECODE_FROM | DECODE_TO : DECODE_CURRENT;
    request.showMask = base.request.showMask;
    request.current = base.request.current;
    request.from = base.request.from;
    request.to = base.request.to;
    for (FrameSource *source : {&request.current, &request.from, &request.to})
        source->decodeSize = m_output;
    DecodeFit fit;
    fit.partOnly = true;
    fit.yuvMatrix = m_matrix;
    const QList<VFrameInfo> decoded = item.decoders().fetch(request, fit);
    auto usable = [this](const ff::VFramePtr &p) {
        return p && p->yuv && p->width == m_output.width() && p->height == m_output.height();
    };
    if (!crossing)
        return usable(decoded.value(0).frame) ? decoded.value(0).frame : nullptr;
    const ff::VFramePtr from = decoded.value(1).frame, to = decoded.value(2).frame;
    if (!usable(from) || !usable(to))
        return nullptr;
    *mixed = outputBuffer();
    dissolve(*from, *to, base.request.progress, **mixed);
    (*mixed)->ptsUs = to->ptsUs;
    return *mixed;
}

void PlainFrames::dissolve(const ff::VFrameCtx &from, const ff::VFrameCtx &to, double progress,
                           ff::VFrameCtx &out)
{
    const int w = int(std::lround(std::clamp(progress, 0.0, 1.0) * 256.0));
    for (int p = 0; p < 3; ++p) {
        const int rows = p == 0 ? out.height : (out.height + 1) / 2;
        const int columns = p == 0 ? out.width : (out.width + 1) / 2;
        for (int y = 0; y < rows; ++y) {
            const uint8_t *a = from.plane(p) + size_t(y) * size_t(from.planeStride(p));
            const uint8_t *b = to.plane(p) + size_t(y) * size_t(to.planeStride(p));
            uint8_t *o = out.plane(p) + size_t(y) * size_t(out.planeStride(p));
            for (int x = 0; x < columns; ++x)
                o[x] = uint8_t((a[x] * (256 - w) + b[x] * w + 128) >> 8);
        }
    }
}

PlainFrames::Overlay PlainFrames::overlayOf(const std::vector<uint8_t> &rgba, const QSize &size,
                                            int matrix)
{
    Overlay o;
    const int w = size.width(), h = size.height();
    if (rgba.size() < size_t(w) * size_t(h) * 4 || w < 2 || h < 2)
        return o;
    int left = w, right = -1, top = h, bottom = -1;
    for (int y = 0; y < h; ++y) {
        const uint8_t *row = rgba.data() + size_t(y) * size_t(w) * 4;
        for (int x = 0; x < w; ++x)
            if (row[x * 4 + 3]) {
                left = std::min(left, x);
                right = std::max(right, x);
                top = std::min(top, y);
                bottom = std::max(bottom, y);
            }
    }
    if (right < 0)
        return o;
    left &= ~1;
    top &= ~1;
    right = std::min(w - 1, right | 1);
    bottom = std::min(h - 1, bottom | 1);
    o.rect = QRect(QPoint(left, top), QPoint(right, bottom));
    double kr, kb;
    weightsOf(matrix, &kr, &kb);
    const double kg = 1.0 - kr - kb;
    const int rw = o.rect.width(), rh = o.rect.height();
    o.lumaAdd.resize(size_t(rw) * size_t(rh));
    o.lumaKeep.resize(o.lumaAdd.size());
    const size_t blocks = size_t(rw / 2) * size_t(rh / 2);
    o.chromaAddU.resize(blocks);
    o.chromaAddV.resize(blocks);
    o.chromaKeep.resize(blocks);
    auto px = [&](int x, int y) { return rgba.data() + (size_t(y) * size_t(w) + size_t(x)) * 4; };
    // Only where the overlay is: a turned logo and a subtitle far apart leave most of
    // their common rectangle empty.
    o.first.assign(size_t(rh / 2), rw);
    o.end.assign(size_t(rh / 2), 0);
    for (int y = 0; y < rh; ++y)
        for (int x = 0; x < rw; ++x)
            if (px(left + x, top + y)[3]) {
                const size_t pair = size_t(y / 2);
                o.first[pair] = std::min(o.first[pair], x & ~1);
                o.end[pair] = std::max(o.end[pair], (x | 1) + 1);
            }
    // Premultiplied colour C and alpha A (0..255) over a base: limited-range terms of
    // the matrix, scaled by 256 (Y' = 16 A + 219 L(C) / 255, U' = 128 A + 224 (B - L) /
    // (2 (1 - Kb)) / 255, V' likewise with R and Kr).
    for (int y = 0; y < rh; ++y)
        for (int x = 0; x < rw; ++x) {
            const uint8_t *p = px(left + x, top + y);
            const double luma = kr * p[0] + kg * p[1] + kb * p[2];
            const size_t i = size_t(y) * size_t(rw) + size_t(x);
            o.lumaAdd[i] = int32_t(std::lround((16.0 * p[3] + 219.0 * luma) / 255.0 * 256.0));
            o.lumaKeep[i] = uint16_t(std::lround((255 - p[3]) * 256.0 / 255.0));
        }
    for (int by = 0; by < rh / 2; ++by)
        for (int bx = 0; bx < rw / 2; ++bx) {
            double r = 0, g = 0, b = 0, a = 0;
            for (int dy = 0; dy < 2; ++dy)
                for (int dx = 0; dx < 2; ++dx) {
                    const uint8_t *p = px(left + bx * 2 + dx, top + by * 2 + dy);
                    r += p[0];
                    g += p[1];
                    b += p[2];
                    a += p[3];
                }
            r /= 4;
            g /= 4;
            b /= 4;
            a /= 4;
            const double luma = kr * r + kg * g + kb * b;
            const double u = 128.0 * a + 224.0 * (b - luma) / (2.0 * (1.0 - kb));
            const double v = 128.0 * a + 224.0 * (r - luma) / (2.0 * (1.0 - kr));
            const size_t i = size_t(by) * size_t(rw / 2) + size_t(bx);
            o.chromaAddU[i] = int32_t(std::lround(u / 255.0 * 256.0));
            o.chromaAddV[i] = int32_t(std::lround(v / 255.0 * 256.0));
            o.chromaKeep[i] = uint16_t(std::lround((255.0 - a) * 256.0 / 255.0));
        }
    return o;
}

void PlainFrames::blend(const Overlay &o, ff::VFrameCtx &picture)
{
    if (o.rect.isEmpty() || !picture.yuv || o.rect.right() >= picture.width ||
        o.rect.bottom() >= picture.height)
        return;
    auto mix = [](uint8_t &base, int32_t add, uint16_t keep) {
        if (keep == 256)
            return; // nothing of the overlay here
        const int v = (add + int(base) * keep + 128) >> 8;
        base = uint8_t(std::clamp(v, 0, 255));
    };
    const int rw = o.rect.width(), rh = o.rect.height();
    for (int y = 0; y < rh; ++y) {
        uint8_t *row = picture.plane(0) + size_t(o.rect.top() + y) * size_t(picture.stride) +
                       size_t(o.rect.left());
        const size_t at = size_t(y) * size_t(rw);
        for (int x = o.first[size_t(y / 2)]; x < o.end[size_t(y / 2)]; ++x)
            mix(row[x], o.lumaAdd[at + size_t(x)], o.lumaKeep[at + size_t(x)]);
    }
    for (int by = 0; by < rh / 2; ++by) {
        const size_t offset = size_t(o.rect.top() / 2 + by) * size_t(picture.chromaStride) +
                              size_t(o.rect.left() / 2);
        uint8_t *u = picture.plane(1) + offset;
        uint8_t *v = picture.plane(2) + offset;
        const size_t at = size_t(by) * size_t(rw / 2);
        for (int bx = o.first[size_t(by)] / 2; bx < o.end[size_t(by)] / 2; ++bx) {
            mix(u[bx], o.chromaAddU[at + size_t(bx)], o.chromaKeep[at + size_t(bx)]);
            mix(v[bx], o.chromaAddV[at + size_t(bx)], o.chromaKeep[at + size_t(bx)]);
        }
    }
}
