#pragma once
// The older project format names the kinds of materials and clips by word or by
// number; both map to the kind codes materials, tracks and clips share (1 picture,
// 2 video, 4 dub, 8 subtitle, 16 music), 0 for anything else.

#include <QString>

#include <cstdint>

inline uint32_t legacyKind(const QString &text)
{
    static const struct {
        const char *word, *number;
        uint32_t kind;
    } kinds[] = {{"movie", "0", 2},
                 {"music", "1", 16},
                 {"image", "2", 1},
                 {"text", "3", 8},
                 {"mic", "4", 4}};
    for (const auto &k : kinds)
        if (text == QLatin1String(k.word) || text == QLatin1String(k.number))
            return k.kind;
    return 0;
}
