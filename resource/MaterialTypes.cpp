#include "MaterialTypes.h"

#include <QUuid>

MaterialData::MaterialData() : uuid(QUuid::createUuid().toString(QUuid::WithBraces)) {}

MaterialType MaterialTypeOfFile(const QString &path)
{
    const QString ext = path.split(QLatin1Char('.')).last();
    static const QStringList images{"png", "jpg", "bmp", "jpeg"};
    static const QStringList videos{"mp4", "avi", "mkv", "rmvb", "rm",  "wmv",
                                    "flv", "mpg", "mov", "3gp",  "gif", "ts"};
    static const QStringList music{"mp3", "wav", "wma", "m4a"};
    if (images.contains(ext))
        return MT_Image;
    if (videos.contains(ext))
        return MT_Video;
    if (music.contains(ext))
        return MT_Music;
    if (ext == QLatin1String("srt"))
        return MT_Subtitle;
    return MT_Unsupported;
}
