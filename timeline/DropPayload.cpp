#include "DropPayload.h"

#include "TimelineTypes.h"

#include <QDataStream>
#include <QMimeData>

namespace {

// Qt's own readers of a colour and a font trust their input: a colour with an unknown
// kind is undefined behaviour, and a font's family list with a huge count asks for all
// the memory there is. The bytes are walked first; the readers only see whole ones.
class ByteWalker {
public:
    explicit ByteWalker(const QByteArray &bytes) : m_bytes(bytes) {}
    bool skip(qint64 n)
    {
        if (n < 0 || m_at + n > m_bytes.size())
            return false;
        m_at += n;
        return true;
    }
    bool u8(quint8 *v)
    {
        if (m_at + 1 > m_bytes.size())
            return false;
        *v = quint8(m_bytes[int(m_at++)]);
        return true;
    }
    bool u32(quint32 *v)
    {
        if (m_at + 4 > m_bytes.size())
            return false;
        *v = 0;
        for (int i = 0; i < 4; ++i)
            *v = (*v << 8) | quint8(m_bytes[int(m_at++)]);
        return true;
    }
    bool string() // a QString: byte length (or 0xffffffff for a null one), then UTF-16
    {
        quint32 n = 0;
        return u32(&n) && (n == 0xffffffffu || (n % 2 == 0 && skip(qint64(n))));
    }

private:
    const QByteArray &m_bytes;
    qint64 m_at = 0;
};

bool colourIsWhole(const QByteArray &rest)
{
    ByteWalker w(rest);
    quint8 colourKind = 0;
    return w.u8(&colourKind) && colourKind <= quint8(QColor::ExtendedRgb) && w.skip(5 * 2);
}

// The font as Qt 5.15 streams it: family, style name, point size, pixel size, style
// hint, style strategy, character set, weight, bits, stretch, extended bits, letter
// and word spacing, hinting, capitalisation, and the list of families.
bool fontIsWhole(const QByteArray &rest)
{
    ByteWalker w(rest);
    quint32 families = 0;
    if (!(w.string() && w.string() && w.skip(8 + 4) && w.skip(1 + 2 + 1 + 1 + 1) && w.skip(2) &&
          w.skip(1) && w.skip(4 + 4) && w.skip(1 + 1) && w.u32(&families)))
        return false;
    for (quint32 i = 0; i < families; ++i)
        if (!w.string())
            return false;
    return true;
}

} // namespace

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
        if (p.clipKind == CT_SUBTITLE) {
            if (in.status() != QDataStream::Ok || in.version() != QDataStream::Qt_5_15 ||
                !colourIsWhole(in.device()->peek(in.device()->bytesAvailable())))
                return DropPayload();
            in >> p.colour;
            if (in.status() != QDataStream::Ok ||
                !fontIsWhole(in.device()->peek(in.device()->bytesAvailable())))
                return DropPayload();
            in >> p.font;
        } else {
            in >> p.valid >> p.path;
        }
        p.kind = Material;
    }
    if (in.status() != QDataStream::Ok)
        return DropPayload();
    return p;
}
