#pragma once
// Reading media files back in tests: ffprobe's view of the streams, and decoded
// frames and sound from ffmpeg.

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStringList>

namespace fixtures {

// ffprobe's JSON for the file with the given stream and format entries (frames counted).
inline QJsonObject probe(const QString &path,
                         const QString &entries = "stream=codec_name,codec_type,width,height,"
                                                  "r_frame_rate,nb_read_frames,nb_frames,start_time,"
                                                  "duration")
{
    QProcess p;
    p.start("ffprobe",
            {"-v", "error", "-count_frames", "-show_entries", entries, "-of", "json", path});
    p.waitForFinished(60000);
    return p.exitCode() == 0 ? QJsonDocument::fromJson(p.readAllStandardOutput()).object()
                             : QJsonObject();
}

inline QJsonObject streamOf(const QJsonObject &info, const QString &type)
{
    for (const QJsonValue &s : info["streams"].toArray())
        if (s.toObject()["codec_type"].toString() == type)
            return s.toObject();
    return {};
}

inline double number(const QJsonObject &o, const char *key)
{
    return o[key].toString().toDouble();
}

// Raw output of ffmpeg decoding `path` with the given output options.
inline QByteArray decode(const QString &path, const QStringList &output)
{
    QProcess p;
    p.start("ffmpeg", QStringList{"-v", "error", "-i", path} + output + QStringList{"-"});
    p.waitForFinished(60000);
    return p.exitCode() == 0 ? p.readAllStandardOutput() : QByteArray();
}

// Samples per channel of the file's sound as ffmpeg plays it (encoder delay and
// padding trimmed where the file records them), at 44.1 kHz stereo; -1 on failure.
inline int64_t soundSamples(const QString &path)
{
    const QByteArray pcm = decode(path, {"-vn", "-f", "s16le", "-ac", "2", "-ar", "44100"});
    return pcm.isEmpty() ? -1 : pcm.size() / 4;
}

} // namespace fixtures
