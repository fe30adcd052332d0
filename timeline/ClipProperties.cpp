#include "ClipProperties.h"

#include "SourceItem.h"

#include "common/ValueQt.h"

#include <QLocale>
#include <QRegularExpression>

namespace clipprops {

namespace {

using timeline::kAllMask;
using timeline::kAudibleMask;
using timeline::kColourMask;
using timeline::kVisualMask;
using S = SourceData;

// The shortest general notation that reads back to the same double (123.4567891
// stays 123.4567891; 160 stays 160).
QString shortest(double v)
{
    return QString::number(v, 'g', QLocale::FloatingPointShortest);
}

// The numbers of a "x: 1, y: 2, width: 3, height: 4" or "width: 3, height: 4" text.
QList<double> numbersIn(const QString &text)
{
    static const QRegularExpression number("-?\\d+(?:\\.\\d+)?(?:[eE][-+]?\\d+)?");
    QList<double> out;
    auto it = number.globalMatch(text);
    while (it.hasNext())
        out << it.next().captured(0).toDouble();
    return out;
}

template <class... F> struct Visit : F... {
    using F::operator()...;
};
template <class... F> Visit(F...) -> Visit<F...>;

} // namespace

const std::vector<Property> &all()
{
    // The file's misspelt element names ("originalduraion", "roration", "volumn")
    // are what every project file holds; they appear here only.
    static const std::vector<Property> table{
        {"", "originalduraion", "", &S::fullLength, 0, kAllMask},
        {"previewRect", "previewRect", "", &S::previewRect, kVisualMask, kAllMask},
        {"clipRect", "clipRect", "rect", &S::clipRect, kColourMask, kAllMask},
        {"", "originalSize", "size", &S::sourceSize, kColourMask, kAllMask},
        {"rotate", "roration", "rotate", &S::rotate, kVisualMask, kAllMask},
        {"transparent", "transparent", "transparent", &S::transparency, kVisualMask, kAllMask},
        {"volume", "volumn", "volume", &S::volume, kAudibleMask, kAllMask, true},
        {"mute", "mute", "mute", &S::mute, kAudibleMask, kAllMask},
        {"stretch", "stretch", "strech", &S::stretch, kColourMask, kAllMask},
        {"temperature", "temperature", "temperature", &S::temperature, kColourMask, kAllMask},
        {"saturation", "saturation", "saturation", &S::saturation, kColourMask, kAllMask},
        {"hue", "hue", "hue", &S::hue, kColourMask, kAllMask},
        {"bright", "bright", "bright", &S::bright, kColourMask, kAllMask},
        {"contrast", "contrast", "contrast", &S::contrast, kColourMask, kAllMask},
        {"highlight", "highlight", "highlight", &S::highlight, kColourMask, kAllMask},
        // The stacking order (up/down level) is an edit like any other: kept across
        // save and open. Readers that do not know the element skip it.
        {"zValue", "zValue", "", &S::stacking, kVisualMask, kVisualMask},
        {"color", "color", "color", &S::color, CT_SUBTITLE, CT_SUBTITLE},
        {"font", "font", "font", &S::font, CT_SUBTITLE, CT_SUBTITLE},
        {"content", "content", "content", &S::content, CT_SUBTITLE, CT_SUBTITLE},
    };
    return table;
}

const Property *byPanel(const std::string &panel)
{
    for (const Property &p : all())
        if (*p.panel && panel == p.panel)
            return &p;
    return nullptr;
}

const Property *byKey(const std::string &key)
{
    for (const Property &p : all())
        if (*p.key && key == p.key)
            return &p;
    return nullptr;
}

const Property *byElement(const QStringRef &element)
{
    for (const Property &p : all())
        if (element == QLatin1String(p.element))
            return &p;
    return nullptr;
}

bg::Value toValue(const SourceData &c, const Property &p)
{
    return std::visit(Visit{[&](int S::*f) { return bg::Value(int32_t(c.*f)); },
                            [&](int64_t S::*f) { return bg::Value(c.*f); },
                            [&](bool S::*f) { return bg::Value(c.*f); },
                            [&](QRectF S::*f) { return bg::Value(bg::ValueQt(c.*f)); },
                            [&](QRect S::*f) { return bg::Value(bg::ValueQt(c.*f)); },
                            [&](QSize S::*f) { return bg::Value(bg::ValueQt(c.*f)); },
                            [&](QColor S::*f) { return bg::Value((c.*f).name().toStdString()); },
                            [&](QFont S::*f) { return bg::Value((c.*f).toString().toStdString()); },
                            [&](QString S::*f) { return bg::Value((c.*f).toStdString()); }},
                      p.field);
}

void fromValue(SourceData &c, const Property &p, const bg::Value &v)
{
    std::visit(
        Visit{[&](int S::*f) { c.*f = v.toInt32(c.*f); },
              [&](int64_t S::*f) { c.*f = v.toInt64(c.*f); },
              [&](bool S::*f) { c.*f = v.toBool(c.*f); },
              [&](QRectF S::*f) { c.*f = bg::ValueQt(v).toRectF(); },
              [&](QRect S::*f) { c.*f = bg::ValueQt(v).toRect(); },
              [&](QSize S::*f) { c.*f = bg::ValueQt(v).toSize(); },
              [&](QColor S::*f) { c.*f = QColor(QString::fromStdString(v.toStdString())); },
              [&](QFont S::*f) { (c.*f).fromString(QString::fromStdString(v.toStdString())); },
              [&](QString S::*f) { c.*f = QString::fromStdString(v.toStdString()); }},
        p.field);
}

QString rectText(const QRectF &r)
{
    return QString("x: %1, y: %2, width: %3, height: %4")
        .arg(shortest(r.x()), shortest(r.y()), shortest(r.width()), shortest(r.height()));
}

QString toText(const SourceData &c, const Property &p)
{
    if (p.mutedWritesZero && c.mute)
        return QStringLiteral("0");
    return std::visit(
        Visit{[&](int S::*f) { return QString::number(c.*f); },
              [&](int64_t S::*f) { return QString::number(c.*f); },
              [&](bool S::*f) { return QString(c.*f ? "true" : "false"); },
              [&](QRectF S::*f) { return rectText(c.*f); },
              [&](QRect S::*f) { return rectText(QRectF(c.*f)); },
              [&](QSize S::*f) {
                  return QString("width: %1, height: %2").arg((c.*f).width()).arg((c.*f).height());
              },
              [&](QColor S::*f) { return (c.*f).name(); },
              [&](QFont S::*f) { return (c.*f).toString(); }, [&](QString S::*f) { return c.*f; }},
        p.field);
}

void fromText(SourceData &c, const Property &p, const QString &t)
{
    std::visit(Visit{[&](int S::*f) { c.*f = t.toInt(); },
                     [&](int64_t S::*f) { c.*f = t.toLongLong(); },
                     [&](bool S::*f) { c.*f = t == QLatin1String("true"); },
                     [&](QRectF S::*f) {
                         const QList<double> v = numbersIn(t);
                         if (v.size() == 4)
                             c.*f = QRectF(v[0], v[1], v[2], v[3]);
                     },
                     [&](QRect S::*f) {
                         const QList<double> v = numbersIn(t);
                         if (v.size() == 4)
                             c.*f = QRectF(v[0], v[1], v[2], v[3]).toRect();
                     },
                     [&](QSize S::*f) {
                         const QList<double> v = numbersIn(t);
                         if (v.size() == 2)
                             c.*f = QSize(int(v[0]), int(v[1]));
                     },
                     [&](QColor S::*f) { (c.*f).setNamedColor(t); },
                     [&](QFont S::*f) { (c.*f).fromString(t); }, [&](QString S::*f) { c.*f = t; }},
               p.field);
}

} // namespace clipprops
