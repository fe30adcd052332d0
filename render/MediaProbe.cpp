#include "MediaProbe.h"

#include "common/FrameRate.h"

#include "media/MovieInfo.h"

#include <QFileInfo>

#include <cmath>

bg::ValueMap probeMediaFile(const QString &path)
{
    bg::ValueMap info;
    info["valid"] = bg::Value(false);
    if (!QFileInfo::exists(path))
        return info;
    const ff::MovieCtx *movie = ff::getMovieInfo(path.toUtf8().constData());
    if (!movie)
        return info;
    const ff::StreamCtx *stream =
        movie->videoStream() ? movie->videoStream() : movie->audioStream();
    if (!stream)
        return info;
    // Exact before it is rounded once: whole milliseconds would already be cut.
    const double ms =
        double(stream->duration) * stream->timeBase.num * 1000.0 / double(stream->timeBase.den);
    info["valid"] = bg::Value(true);
    info["duration"] = bg::Value(int64_t(std::llround(ms)));
    // The frames a player shows: the length at the timeline's rate, to the nearest frame.
    info["pix"] = bg::Value(timebase::msToFrames(ms));
    const bool video = stream->kind == ff::StreamKind::Video;
    info["width"] = bg::Value(int32_t(video ? stream->width : 0));
    info["height"] = bg::Value(int32_t(video ? stream->height : 0));
    return info;
}
