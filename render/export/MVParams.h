#pragma once
// An export request, as the export panel (or the headless renderer) builds it.

#include "common/FrameSize.h"

#include <QMetaType>
#include <QRegularExpression>
#include <QString>
#include <QStringList>

#include <cstdint>

struct MVParams {
    QString path; // output file; its extension picks the container (".mp4", ".avi", ".mp3")
    int32_t width = framesize::kDefaultWidth;
    int32_t height = framesize::kDefaultHeight;
    bool audioOnly = false;
    int32_t frameRate = 25;
    // Handed to the writer: the key-frame interval (also the quality choice with a
    // bit rate of 0: equal to the frame rate for quality, 120 for small files) and
    // the bit rate in kbit/s (0: constant quality).
    int32_t keyInterval = 25;
    int32_t bitRate = 0;
    bool gif = false;
    double speed = 1.0; // playback speed of the result (0.5 = half speed)
    // A file already at `path` is replaced only when the user said so.
    bool replace = false;
    // Files the export never writes onto, whatever they are called (the project's
    // materials and its own file).
    QStringList keep;
};
Q_DECLARE_METATYPE(MVParams)
Q_DECLARE_METATYPE(MVParams *)

// A picture size written "W x H" (spaces around the x allowed): true with both
// sides read.
inline bool parseFrameSize(const QString &text, int *width, int *height)
{
    static const QRegularExpression pattern(QStringLiteral("^(\\d+)\\s*x\\s*(\\d+)$"));
    const QRegularExpressionMatch m = pattern.match(text.trimmed());
    if (!m.hasMatch())
        return false;
    *width = m.captured(1).toInt();
    *height = m.captured(2).toInt();
    return true;
}
