#include "ValueQt.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

namespace bg {

namespace {

std::string format(const char *fmt, ...) __attribute__((format(printf, 1, 2)));
std::string format(const char *fmt, ...)
{
    char buf[128];
    va_list args;
    va_start(args, fmt);
    va_list copy;
    va_copy(copy, args);
    const int n = std::vsnprintf(buf, sizeof buf, fmt, copy);
    va_end(copy);
    std::string out;
    if (n >= 0 && size_t(n) < sizeof buf) {
        out.assign(buf, size_t(n));
    } else if (n >= 0) {
        // Extreme doubles do not fit 128 bytes; never truncate a stored value.
        out.resize(size_t(n) + 1);
        std::vsnprintf(&out[0], out.size(), fmt, args);
        out.resize(size_t(n));
    }
    va_end(args);
    return out;
}

void reportMismatch(int32_t found, const char *wanted)
{
    std::fprintf(stderr, "[bg-value] can't convert type: '%d' ---> %s\n", found, wanted);
}

} // namespace

// ---- ValueQt ---------------------------------------------------------------

void ValueQt::setInts(int32_t tag, int x, int y, int w, int h)
{
    setTag(tag);
    num().ri[0] = x;
    num().ri[1] = y;
    num().ri[2] = w;
    num().ri[3] = h;
}

void ValueQt::setDoubles(int32_t tag, double x, double y, double w, double h)
{
    setTag(tag);
    num().rf[0] = x;
    num().rf[1] = y;
    num().rf[2] = w;
    num().rf[3] = h;
}

ValueQt::ValueQt(const QPoint &p)
{
    setInts(VT_POINT, p.x(), p.y(), 0, 0);
}
ValueQt::ValueQt(const QPointF &p)
{
    setDoubles(VT_POINTF, p.x(), p.y(), 0, 0);
}
ValueQt::ValueQt(const QRect &r)
{
    setInts(VT_RECT, r.x(), r.y(), r.width(), r.height());
}
ValueQt::ValueQt(const QRectF &r)
{
    setDoubles(VT_RECTF, r.x(), r.y(), r.width(), r.height());
}
ValueQt::ValueQt(const QSize &s)
{
    setInts(VT_SIZE, 0, 0, s.width(), s.height());
}
ValueQt::ValueQt(const QSizeF &s)
{
    setDoubles(VT_SIZEF, 0, 0, s.width(), s.height());
}

ValueQt ValueQt::qstr(const QByteArray &bytes)
{
    ValueQt v;
    v.setTag(VT_QSTR);
    v.str().assign(bytes.constData(), size_t(bytes.size()));
    v.num().i32 = bytes.size();
    return v;
}

QPoint ValueQt::toPoint() const
{
    return QPoint(num().ri[0], num().ri[1]);
}

QRect ValueQt::toRect() const
{
    if (type() != VT_RECT)
        reportMismatch(type(), "VT_RECT");
    return QRect(num().ri[0], num().ri[1], num().ri[2], num().ri[3]);
}

QRectF ValueQt::toRectF() const
{
    if (type() != VT_RECTF)
        reportMismatch(type(), "VT_RECTF");
    return QRectF(num().rf[0], num().rf[1], num().rf[2], num().rf[3]);
}

QSize ValueQt::toSize() const
{
    if (type() != VT_SIZE)
        reportMismatch(type(), "VT_SIZE");
    return QSize(num().ri[2], num().ri[3]);
}

QByteArray ValueQt::toBytes() const
{
    return type() == VT_QSTR ? QByteArray(str().data(), int(str().size())) : QByteArray();
}

std::string ValueQt::writeKind(const Value &value)
{
    const Value &v = value;
    const Number &n = v.num();
    switch (v.type()) {
    case VT_QSTR: {
        const std::string &bytes = v.str();
        return "[qstr:" + std::to_string(n.i32) + "]" + bytes.substr(0, std::strlen(bytes.c_str()));
    }
    case VT_RECTF:
        return format("[rectf]x:%lf;y:%lf;w:%lf;h:%lf", n.rf[0], n.rf[1], n.rf[2], n.rf[3]);
    case VT_RECT:
        return format("[rect]x:%d;y:%d;w:%d;h:%d", n.ri[0], n.ri[1], n.ri[2], n.ri[3]);
    case VT_POINTF:
        return format("[pointf]x:%lf;y:%lf", n.rf[0], n.rf[1]);
    case VT_POINT:
        return format("[point]x:%d;y:%d", n.ri[0], n.ri[1]);
    case VT_SIZEF:
        return format("[sizef]w:%lf;h:%lf", n.rf[2], n.rf[3]);
    case VT_SIZE:
        return format("[size]w:%d;h:%d", n.ri[2], n.ri[3]);
    default:
        return v.Value::write();
    }
}

// Labels before each ':' are read and ignored (bounded so nothing overflows); the
// fields are taken by position.
Value *ValueQt::readPoint(const char *, const char *body)
{
    char l1[8], l2[8];
    int x = 0, y = 0;
    auto *v = new ValueQt;
    if (std::sscanf(body, "%7[^:]:%d;%7[^:]:%d", l1, &x, l2, &y) == 4)
        v->setInts(VT_POINT, x, y, 0, 0);
    return v;
}

Value *ValueQt::readPointF(const char *, const char *body)
{
    char l1[8], l2[8];
    double x = 0, y = 0;
    auto *v = new ValueQt;
    if (std::sscanf(body, "%7[^:]:%lf;%7[^:]:%lf", l1, &x, l2, &y) == 4)
        v->setDoubles(VT_POINTF, x, y, 0, 0);
    return v;
}

Value *ValueQt::readSize(const char *, const char *body)
{
    char l1[8], l2[8];
    int w = 0, h = 0;
    auto *v = new ValueQt;
    if (std::sscanf(body, "%7[^:]:%d;%7[^:]:%d", l1, &w, l2, &h) == 4)
        v->setInts(VT_SIZE, 0, 0, w, h);
    return v;
}

Value *ValueQt::readSizeF(const char *, const char *body)
{
    char l1[8], l2[8];
    double w = 0, h = 0;
    auto *v = new ValueQt;
    if (std::sscanf(body, "%7[^:]:%lf;%7[^:]:%lf", l1, &w, l2, &h) == 4)
        v->setDoubles(VT_SIZEF, 0, 0, w, h);
    return v;
}

Value *ValueQt::readRect(const char *, const char *body)
{
    char l1[8], l2[8], l3[8], l4[8];
    int x = 0, y = 0, w = 0, h = 0;
    auto *v = new ValueQt;
    if (std::sscanf(body, "%7[^:]:%d;%7[^:]:%d;%7[^:]:%d;%7[^:]:%d", l1, &x, l2, &y, l3, &w, l4,
                    &h) == 8)
        v->setInts(VT_RECT, x, y, w, h);
    return v;
}

Value *ValueQt::readRectF(const char *, const char *body)
{
    char l1[8], l2[8], l3[8], l4[8];
    double x = 0, y = 0, w = 0, h = 0;
    auto *v = new ValueQt;
    if (std::sscanf(body, "%7[^:]:%lf;%7[^:]:%lf;%7[^:]:%lf;%7[^:]:%lf", l1, &x, l2, &y, l3, &w, l4,
                    &h) == 8)
        v->setDoubles(VT_RECTF, x, y, w, h);
    return v;
}

Value *ValueQt::readQstr(const char *type, const char *body)
{
    auto *v = new ValueQt;
    const char *digits = std::strchr(type, ':');
    char *end = nullptr;
    const long n = digits ? std::strtol(digits + 1, &end, 10) : 0;
    if (!digits || end == digits + 1) {
        std::fprintf(stderr, "> bg::Value:read() err: type='%s', missing 'len'.\n", type);
        return v;
    }
    // A count beyond the text is refused rather than read past its end.
    if (n < 0 || size_t(n) > std::strlen(body))
        return v;
    v->setTag(VT_QSTR);
    v->str().assign(body, size_t(n));
    v->num().i32 = int32_t(n);
    return v;
}

bool ValueQt::registerKinds()
{
    static std::once_flag once;
    static std::atomic<bool> ok{false};
    std::call_once(once, [] {
        bool all = regist_value_type(VT_QSTR, "qstr", writeKind, readQstr);
        all &= regist_value_type(VT_POINT, "point", writeKind, readPoint);
        all &= regist_value_type(VT_POINTF, "pointf", writeKind, readPointF);
        all &= regist_value_type(VT_RECT, "rect", writeKind, readRect);
        all &= regist_value_type(VT_RECTF, "rectf", writeKind, readRectF);
        all &= regist_value_type(VT_SIZE, "size", writeKind, readSize);
        all &= regist_value_type(VT_SIZEF, "sizef", writeKind, readSizeF);
        ok = all;
    });
    return ok;
}

// ---- ValueQtG --------------------------------------------------------------

ValueQtG::ValueQtG(const QColor &c)
{
    setTag(VT_COLOR);
    num().argb = c.rgba();
}

ValueQtG::ValueQtG(const QFont &f)
{
    setTag(VT_FONT);
    str() = f.toString().toStdString();
}

std::string ValueQtG::writeKind(const Value &value)
{
    const Value &v = value;
    switch (v.type()) {
    case VT_COLOR:
        return "[color]" + QColor::fromRgba(v.num().argb).name().toStdString();
    case VT_FONT:
        return "[font]" + v.str();
    default:
        return v.Value::write();
    }
}

Value *ValueQtG::readColor(const char *, const char *body)
{
    auto *v = new ValueQtG;
    QColor c;
    c.setNamedColor(QString::fromUtf8(body));
    // An unparsable colour leaves the value empty so the caller keeps its default.
    if (c.isValid()) {
        v->setTag(VT_COLOR);
        v->num().argb = c.rgba();
    }
    return v;
}

Value *ValueQtG::readFont(const char *, const char *body)
{
    auto *v = new ValueQtG;
    v->setTag(VT_FONT);
    v->str() = body;
    return v;
}

bool ValueQtG::registerKinds()
{
    static std::once_flag once;
    static std::atomic<bool> ok{false};
    std::call_once(once, [] {
        bool all = regist_value_type(VT_COLOR, "color", writeKind, readColor);
        all &= regist_value_type(VT_FONT, "font", writeKind, readFont);
        ok = all;
    });
    return ok;
}

} // namespace bg
