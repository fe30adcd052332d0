#pragma once
// Converts the older project format's timeline: object records (clips with their
// properties and transition texts) and the track tree that places them by uid,
// into tracks, clips and transitions of the model.
// Lives on: main thread (while a project is read).

#include "common/FrameRate.h"

#include <QColor>
#include <QFont>
#include <QHash>
#include <QList>
#include <QRect>
#include <QSizeF>
#include <QString>

class QXmlStreamReader;
class SourceItem;
class TimelineDocument;

class LegacyImport {
public:
    LegacyImport(TimelineDocument *model, const QSizeF &renderSize);

    // Entered on "ObjectMgr": reads every "Object" record. Comes before the tree.
    void readObjects(QXmlStreamReader &reader);
    // Entered on "Tree": places the recorded clips on tracks, then joins them.
    void readTree(QXmlStreamReader &reader);

    // The older kind names and numbers; 0 for anything else.
    static uint32_t kindOf(const QString &text);
    // Older times to frames: hundredths of a second, milliseconds.
    static int64_t framesOfHundredths(double value)
    {
        return int64_t(value / 100.0 * timebase::kFps);
    }
    static int64_t framesOfMs(double value) { return timebase::msToFrames(value); }
    // "name:number" fields separated by ';', the numbers in order.
    static QList<double> numbersOf(const QString &text);

private:
    struct Record {
        uint32_t kind = 0;
        int64_t start = 0, duration = 0, offset = 0; // frames
        QString path;
        QRectF placement;
        int rotate = 0, transparency = 255, volume = 128, stretch = 1;
        bool mute = false;
        QRect crop;
        QColor color;
        QFont font;
        QString content;
    };
    // A transition text of one side of an object.
    struct Side {
        QString owner, to, name;
        int64_t durationMs = 0, widthMs = 0;
    };
    static Side sideOf(const QString &owner, const QString &text);
    void readObject(QXmlStreamReader &reader);
    void readValues(QXmlStreamReader &reader, Record &record);
    void makeTransitions();

    TimelineDocument *m_model;
    QSizeF m_renderSize;
    QHash<QString, Record> m_records;
    QHash<QString, SourceItem *> m_clips; // uid → the clip made from it
    QList<Side> m_right, m_left;
};
