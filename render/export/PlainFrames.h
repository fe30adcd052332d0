#pragma once
// The export's short way for plain frames. A frame whose picture is one opaque,
// upright clip filling the output (whole or a crop of it, at full opacity, without
// colour controls), or a cross dissolve between two such clips, with nothing above it
// but overlays that stay the same from frame to frame (pictures, stickers,
// subtitles), is made without RGBA: the clip (or both sides, mixed) is decoded
// and scaled straight into the encoder's YUV picture, and the overlays, composed once
// by the graph into premultiplied RGBA and kept while unchanged, are blended into the
// YUV planes inside their rectangle only, with the output's colour matrix. Any other
// frame (another transition, colour controls, rotation, opacity, a moving overlay, a source
// of another matrix) is composed by the graph. Both give the same picture.
// Lives on: the export's picture thread.

#include "render/RenderTypes.h"

#include <QByteArray>
#include <QRect>
#include <QSize>

#include <cstdint>
#include <memory>
#include <vector>

class ExportClipItem;
class ExportGraph;

class PlainFrames {
public:
    // `matrix`: the encoder's (601 or 709).
    PlainFrames(ExportGraph &graph, int matrix);

    // The frame's picture in YUV when it is plain (the overlays placed in the graph
    // meanwhile), else null: the graph composes it.
    ff::VFramePtr make(const QList<TrackFrame> &tracks);

    int64_t overlayRenders() const { return m_overlayRenders; }

    // The overlay's blend terms over its rectangle, from premultiplied RGBA of the
    // output's size (public for tests): each pixel's Y becomes
    // (add + Y × keep + 128) >> 8, and likewise each 2 × 2 block's U and V.
    struct Overlay {
        QRect rect; // even-aligned; empty: nothing to blend
        // Each row pair's columns with anything of the overlay, from the rect's left:
        // [first, end), even-aligned (none: first == end).
        std::vector<int> first, end;
        std::vector<int32_t> lumaAdd, chromaAddU, chromaAddV;
        std::vector<uint16_t> lumaKeep, chromaKeep;
    };
    static Overlay overlayOf(const std::vector<uint8_t> &rgba, const QSize &size, int matrix);
    static void blend(const Overlay &overlay, ff::VFrameCtx &picture);
    // `from` and `to` mixed as a cross dissolve at `progress` (0: from, 1: to), the
    // way the dissolve program mixes them, into `out` (all three of one size).
    static void dissolve(const ff::VFrameCtx &from, const ff::VFrameCtx &to, double progress,
                         ff::VFrameCtx &out);

private:
    // The one track whose clip covers the output, or -1; overlays gets the tracks above it.
    int baseOf(const QList<TrackFrame> &tracks, QList<int> &overlays);
    // An opaque, uncoloured source that fills the picture.
    bool covers(const TrackFrame &track, const FrameSource &source);
    // A track that covers the picture: its one clip, or a cross dissolve of two such.
    bool coversWhole(const TrackFrame &track);
    // The base's picture in YUV (null when the decoder could not give it so): the
    // decoder's, or a dissolve mixed into a buffer of ours (also set in `mixed`).
    ff::VFramePtr basePicture(const TrackFrame &base, ExportClipItem &item,
                              std::shared_ptr<ff::VFrameCtx> *mixed);
    QByteArray signature(const QList<TrackFrame> &tracks, const QList<int> &overlays) const;
    std::shared_ptr<ff::VFrameCtx> outputBuffer();

    ExportGraph &m_graph;
    const int m_matrix;
    QSize m_output;
    bool m_possible = false; // the output has no bars and an even size
    Overlay m_overlay;
    QByteArray m_overlaySignature = "none"; // what m_overlay shows
    QByteArray m_previousSignature;         // the overlays of the frame before
    bool m_previousChanged = false;
    std::vector<std::shared_ptr<ff::VFrameCtx>> m_buffers;
    std::vector<uint8_t> m_rgba;
    int64_t m_overlayRenders = 0;
};
