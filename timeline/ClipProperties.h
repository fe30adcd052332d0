#pragma once
// The clip's stored properties, listed once: the key in the clip's value map, the
// element of the project file, the panel's key, the field of the clip and the
// kinds that carry it. Publishing, applying undo changes, the panels' values and
// the project file's writer and reader all walk this table.
// Lives on: main thread (read-only data and functions without state).

#include "TimelineTypes.h"
#include "bridge/Value.h"

#include <QColor>
#include <QFont>
#include <QRect>
#include <QRectF>
#include <QSize>
#include <QString>

#include <variant>
#include <vector>

class SourceData;

namespace clipprops {

using Field = std::variant<int SourceData::*, int64_t SourceData::*, bool SourceData::*,
                           QRectF SourceData::*, QRect SourceData::*, QSize SourceData::*,
                           QColor SourceData::*, QFont SourceData::*, QString SourceData::*>;

struct Property {
    const char *key;     // in the clip's value map; empty when not published
    const char *element; // in the project file's "sourceItem" element
    const char *panel;   // in the property panels' value map; empty when not shown
    Field field;
    uint32_t kinds;               // kinds that publish it and show it in a panel
    uint32_t fileKinds;           // kinds whose file element holds it
    bool mutedWritesZero = false; // the file stores 0 for a muted clip
};

// In the order the project file writes the elements.
const std::vector<Property> &all();
const Property *byKey(const std::string &key);
// The row whose panel key is `panel` ("strech", "rect", "bright", ...), or null.
const Property *byPanel(const std::string &panel);
const Property *byElement(const QStringRef &element);

// The field as a value of the clip's map (colours, fonts and texts as strings).
bg::Value toValue(const SourceData &clip, const Property &p);
// Sets the field from a value of the clip's map; a value of another kind leaves
// numbers as they are.
void fromValue(SourceData &clip, const Property &p, const bg::Value &value);
// The field as the project file writes it.
QString toText(const SourceData &clip, const Property &p);
void fromText(SourceData &clip, const Property &p, const QString &text);

// "x: 1, y: 2, width: 3, height: 4" in the shortest notation that reads back the same.
QString rectText(const QRectF &rect);

} // namespace clipprops
