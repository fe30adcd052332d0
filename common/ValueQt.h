#pragma once
// Toolkit value kinds (points, sizes, rectangles, counted strings, colours, fonts)
// as bg::Value kinds with fixed tags and text forms, so they survive save and load.
// Lives on: any thread (plain values).

#include "bridge/Value.h"

#include <QByteArray>
#include <QColor>
#include <QFont>
#include <QPoint>
#include <QRect>
#include <QSize>

namespace bg {

// Geometric kinds and the counted string. The payload lives in the base class, so
// a ValueQt copied into a ValueMap as a plain bg::Value loses nothing.
class ValueQt : public Value {
public:
    ValueQt() = default;
    ValueQt(const Value &v) : Value(v) {}
    explicit ValueQt(const QPoint &p);
    explicit ValueQt(const QPointF &p);
    explicit ValueQt(const QRect &r);
    explicit ValueQt(const QRectF &r);
    explicit ValueQt(const QSize &s);
    explicit ValueQt(const QSizeF &s);
    // Counted string of kind "qstr": the bytes and their length.
    static ValueQt qstr(const QByteArray &bytes);

    QPoint toPoint() const;
    // Rectangles and sizes report a kind mismatch on standard error and then use
    // the payload fields as they stand.
    QRect toRect() const;
    QRectF toRectF() const;
    QSize toSize() const;
    QByteArray toBytes() const;

    // Registers the seven kinds once per process; true when they are registered.
    static bool registerKinds();

private:
    static std::string writeKind(const Value &v);
    static Value *readQstr(const char *type, const char *body);
    static Value *readPoint(const char *type, const char *body);
    static Value *readPointF(const char *type, const char *body);
    static Value *readRect(const char *type, const char *body);
    static Value *readRectF(const char *type, const char *body);
    static Value *readSize(const char *type, const char *body);
    static Value *readSizeF(const char *type, const char *body);
    void setInts(int32_t tag, int x, int y, int w, int h);
    void setDoubles(int32_t tag, double x, double y, double w, double h);
};

// Colour (ARGB word) and font (the toolkit's font description text).
class ValueQtG : public Value {
public:
    ValueQtG() = default;
    ValueQtG(const Value &v) : Value(v) {}
    explicit ValueQtG(const QColor &c);
    explicit ValueQtG(const QFont &f);

    static bool registerKinds();

private:
    static std::string writeKind(const Value &v);
    static Value *readColor(const char *type, const char *body);
    static Value *readFont(const char *type, const char *body);
};

} // namespace bg

namespace {
// Every module that includes this header registers the kinds at static
// initialisation; only the first registration in the process takes effect.
[[maybe_unused]] const bool bg_valueqt_kinds_registered =
    bg::ValueQt::registerKinds() && bg::ValueQtG::registerKinds();
} // namespace
