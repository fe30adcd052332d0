#pragma once
// The font sizes (points) offered for subtitles, by the subtitle panel and the
// template window alike.

#include <QStringList>

inline const QStringList &subtitleFontSizes()
{
    static const QStringList sizes{"6",  "7",  "8",  "9",  "10", "12", "14", "16", "18", "20", "22",
                                   "24", "26", "28", "36", "48", "64", "72", "84", "96", "120"};
    return sizes;
}
