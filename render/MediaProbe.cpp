#include "MediaProbe.h"

#include "common/FrameRate.h"

#include "media/MovieInfo.h"

#include <QFileInfo>

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
    const int64_t ms = stream->duration * stream->timeBase.num * 1000 / stream->timeBase.den;
    info["valid"] = bg::Value(true);
    info["duration"] = bg::Value(ms);
    info["pix"] = bg::Value(int64_t(double(ms) / timebase::kFrameMs));
    const bool video = stream->kind == ff::StreamKind::Video;
    info["width"] = bg::Value(int32_t(video ? stream->width : 0));
    info["height"] = bg::Value(int32_t(video ? stream->height : 0));
    return info;
}
