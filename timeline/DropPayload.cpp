#include "DropPayload.h"

#include "TimelineTypes.h"

#include <QDataStream>
#include <QMimeData>

bool DropPayload::isOurs(const QMimeData *mime)
{
    return mime && mime->text() == QLatin1String("ZuAEdit") && mime->hasFormat("data");
}

QString DropPayload::tagOf(const QByteArray &bytes)
{
    QDataStream in(bytes);
    QString tag;
    in >> tag;
    return in.status() == QDataStream::Ok ? tag : QString();
}

DropPayload DropPayload::read(const QByteArray &bytes)
{
    QDataStream in(bytes);
    QString tag;
    in >> tag;
    DropPayload p;
    if (tag == QLatin1String("transition")) {
        in >> p.transition;
        p.kind = Transition;
    } else if (tag == QLatin1String("gif")) {
        in >> p.path;
        p.kind = Gif;
    } else if (tag == QLatin1String("material")) {
        in >> p.clipKind;
        if (p.clipKind == CT_SUBTITLE)
            in >> p.colour >> p.font;
        else
            in >> p.valid >> p.path;
        p.kind = Material;
    }
    if (in.status() != QDataStream::Ok)
        return DropPayload();
    return p;
}
