#pragma once
// Media made at test time by the ffmpeg command, and readers of what it encodes.

#include <QDir>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <cstdint>

namespace fixtures {

// Runs ffmpeg with `args` (quiet, overwrite); true when the output was made.
inline bool ffmpeg(const QStringList &args, QString *error = nullptr)
{
    QProcess p;
    p.start("ffmpeg", QStringList{"-hide_banner", "-loglevel", "error", "-y"} + args);
    const bool ok =
        p.waitForFinished(120000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
    if (!ok && error)
        *error = QString::fromUtf8(p.readAllStandardError());
    return ok;
}

// Picture whose ten vertical stripes (32 px each on a 320-px width) spell the
// frame number in binary, least significant bit on the left.
inline QString frameIndexFilter(int seconds, int width = 320, int height = 240)
{
    return QString("color=c=black:s=%1x%2:r=30:d=%3,format=yuv420p,"
                   "geq=lum='if(bitand(N\\,pow(2\\,floor(X*10/W)))\\,235\\,16)':cb=128:cr=128")
        .arg(width)
        .arg(height)
        .arg(seconds);
}

// H.264 video of numbered frames with the given key-frame interval and B-frames.
inline bool numberedVideo(const QString &path, int seconds, int gop, int width = 320,
                          int height = 240, QString *error = nullptr)
{
    return ffmpeg({"-f", "lavfi", "-i", frameIndexFilter(seconds, width, height), "-c:v", "libx264",
                   "-preset", "veryfast", "-g", QString::number(gop), "-keyint_min",
                   QString::number(gop), "-sc_threshold", "0", "-bf", "2", "-pix_fmt", "yuv420p",
                   path},
                  error);
}

// Frame number read back from the stripes of an RGBA picture (-1 if unreadable).
inline int frameIndexOf(const uint8_t *rgba, int width, int height, int stride)
{
    int index = 0;
    for (int bit = 0; bit < 10; ++bit) {
        const int x = (bit * width) / 10 + width / 20;
        const uint8_t *p = rgba + size_t(height / 2) * size_t(stride) + size_t(x) * 4;
        const int luma = (p[0] + p[1] + p[2]) / 3;
        if (luma > 160)
            index |= 1 << bit;
        else if (luma > 80)
            return -1; // neither black nor white: not a clean frame
    }
    return index;
}

} // namespace fixtures
