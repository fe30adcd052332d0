#include "MaterialTypes.h"

#include <QUuid>

MaterialData::MaterialData() : uuid(QUuid::createUuid().toString(QUuid::WithBraces)) {}

const QStringList &extensionsOf(MaterialType type)
{
    // Every file the decoder reads (its containers are the ones it opens), by kind.
    static const QStringList images{"png", "jpg", "jpeg", "bmp", "webp", "tif", "tiff"};
    static const QStringList videos{"mp4", "m4v", "mov",  "3gp", "3g2", "mkv",  "webm",
                                    "avi", "flv", "wmv",  "asf", "mpg", "mpeg", "vob",
                                    "ts",  "mts", "m2ts", "ogv", "gif"};
    static const QStringList music{"mp3", "wav",  "wma", "m4a",  "aac", "flac", "ogg",
                                   "oga", "opus", "aif", "aiff", "amr", "ac3"};
    static const QStringList none;
    switch (type) {
    case MT_Image:
        return images;
    case MT_Video:
        return videos;
    case MT_Music:
        return music;
    default:
        return none;
    }
}

MaterialType MaterialTypeOfFile(const QString &path)
{
    const QString ext = path.section(QLatin1Char('.'), -1).toLower();
    for (MaterialType type : {MT_Image, MT_Video, MT_Music})
        if (extensionsOf(type).contains(ext))
            return type;
    if (ext == QLatin1String("srt"))
        return MT_Subtitle;
    return MT_Unsupported;
}
