#include "TransItem.h"

#include "SourceItem.h"
#include "TimeLineGraphicsScene.h"
#include "TimelineDocument.h"
#include "undo/UndoController.h"

#include <QGraphicsScene>
#include <QPainter>

#include <algorithm>

// ---- TransitionData ----------------------------------------------------------

SourceItem *TransitionData::from() const
{
    return m_document && hasFrom() ? m_document->clipByUuid(fromUuid) : nullptr;
}

SourceItem *TransitionData::to() const
{
    return m_document && hasTo() ? m_document->clipByUuid(toUuid) : nullptr;
}

void TransitionData::setClips(const SourceItem *fromClip, const SourceItem *toClip)
{
    fromUuid = fromClip ? fromClip->uuid : QString();
    toUuid = toClip ? toClip->uuid : QString();
    recordedGap = fromClip && toClip ? toClip->start() - fromClip->end() : 0;
}

int64_t TransitionData::fittingFrames(int64_t wanted) const
{
    // A transition takes its frames from its clips and never runs past them: a
    // longer one would cover them and add frames after the last clip.
    const SourceItem *from = this->from(), *to = this->to();
    const int64_t fromFrames = from ? from->duration() : INT64_MAX;
    const int64_t toFrames = to ? to->duration() : INT64_MAX;
    const int r = std::clamp(ratio, 0, 10);
    auto fits = [&](int64_t f) {
        const int64_t before = r * f / 10;
        return (!from || before <= fromFrames) && (!to || f - before <= toFrames);
    };
    int64_t best = 0, high = std::max<int64_t>(0, wanted);
    if (fits(high))
        return high;
    while (best + 1 < high) { // fits(best), !fits(high); both rise with the length
        const int64_t mid = best + (high - best) / 2;
        (fits(mid) ? best : high) = mid;
    }
    return best;
}

int64_t TransitionData::maxDurationMs() const
{
    const SourceItem *from = this->from(), *to = this->to();
    const int64_t all = (from ? from->duration() : 0) + (to ? to->duration() : 0);
    return timebase::framesToMs(fittingFrames(all));
}

void TransitionData::updateLengths()
{
    const int64_t frames = fittingFrames(timebase::msToFrames(double(durationMs)));
    m_before = std::clamp(ratio, 0, 10) * frames / 10;
    m_after = frames - m_before;
}

void TransitionData::recompute()
{
    updateLengths();
    const SourceItem *from = this->from(), *to = this->to();
    if (from && to) {
        startFrame = from->start() + from->duration() - m_before;
        endFrame = to->start() + m_after;
    } else if (to) {
        startFrame = to->start();
        endFrame = to->start() + m_after;
    } else if (from) {
        startFrame = from->start() + from->duration() - m_before;
        endFrame = from->start() + from->duration();
    }
    sendLengths(true);
    zua::UndoController::instance()->noteChange();
}

void TransitionData::sendLengths(bool present) const
{
    if (SourceItem *clip = from()) {
        clip->tailTransFrames = present ? m_before : 0;
        clip->update();
    }
    if (SourceItem *clip = to()) {
        clip->headTransFrames = present ? m_after : 0;
        clip->update();
    }
}

// ---- TransItem -------------------------------------------------------------------

TransItem::TransItem(TimelineDocument *model) : m_model(model), m_data(model) {}

QGraphicsScene *TransItem::documentScene() const
{
    return m_model ? m_model->scene() : nullptr;
}

bg::Value TransItem::transValue() const
{
    bg::ValueMap trans;
    trans["startframe"] = bg::Value(m_data.startFrame);
    trans["endframe"] = bg::Value(m_data.endFrame);
    trans["durationframe"] = bg::Value(m_data.durationMs);
    trans["name"] = bg::Value(m_data.name.toStdString());
    trans["ratio"] = bg::Value(int32_t(m_data.ratio));
    return bg::Value(trans);
}

void TransItem::place()
{
    prepareGeometryChange();
    setPos(timeline::toScene(m_data.startFrame), 0);
}

QRectF TransItem::boundingRect() const
{
    return QRectF(0, 0, timeline::toScene(m_data.endFrame - m_data.startFrame), 12);
}

void TransItem::paint(QPainter *, const QStyleOptionGraphicsItem *, QWidget *) {}

bg::ValueMap TransItem::panelValues(const SourceData *clicked) const
{
    bg::ValueMap m;
    const bool both = m_data.hasFrom() && m_data.hasTo();
    const bool isFrom = clicked && clicked->uuid == m_data.fromUuid;
    m["direction"] = bg::Value(int32_t(!both ? 0 : isFrom ? -1 : 1));
    m["type"] = bg::Value(m_data.name.toStdString());
    m["duration"] = bg::Value(std::min(m_data.durationMs, m_data.maxDurationMs()));
    m["maxDuration"] = bg::Value(m_data.maxDurationMs());
    m["value"] = bg::Value(int32_t(m_data.ratio));
    return m;
}

void TransItem::applyPanelEdit(const bg::ValueMap &values)
{
    auto get = [&values](const char *k) {
        auto it = values.find(k);
        return it == values.end() ? bg::Value() : it->second;
    };
    const QString name = QString::fromStdString(get("type").toStdString(m_data.name.toStdString()));
    const int64_t duration = std::max<int64_t>(0, get("duration").toInt64(m_data.durationMs));
    const int ratio = std::clamp(get("value").toInt32(m_data.ratio), 0, 10);
    if (name == m_data.name && duration == m_data.durationMs && ratio == m_data.ratio)
        return;
    m_data.name = name;
    m_data.ratio = ratio;
    m_data.durationMs = std::min(duration, m_data.maxDurationMs());
    m_data.recompute();
    setValue("trans", transValue(), true, true);
}

void TransItem::showPanel(int clicks, const SourceData *clicked)
{
    m_clicked = clicked ? clicked->uuid : QString();
    if (auto *s = qobject_cast<TimeLineGraphicsScene *>(documentScene()))
        s->showMenu(this, MENU_TRANSITION, clicks, panelValues(clicked));
}

void TransItem::onChange(int event, const bg::Value &arg)
{
    TimelineDocument *model = m_model.data();
    switch (event) {
    case zua::EV_ADDED:
        place();
        setVisible(true);
        if (QGraphicsScene *shown = documentScene(); shown && scene() != shown)
            shown->addItem(this);
        m_data.sendLengths(true);
        if (model)
            model->transitionShown(this, true);
        break;
    case zua::EV_REMOVED:
        if (auto *s = qobject_cast<TimeLineGraphicsScene *>(scene()))
            if (s->panelItem() == this)
                s->slot_closeMenu();
        if (scene())
            scene()->removeItem(this);
        m_data.sendLengths(false);
        if (model)
            model->transitionShown(this, false);
        break;
    case zua::EV_CHANGED:
        if (arg.toStdString() == "trans") {
            const bg::Value v = value("trans");
            if (const bg::ValueMap *m = v.mapPtr()) {
                auto get = [m](const char *k) {
                    auto it = m->find(k);
                    return it == m->end() ? bg::Value() : it->second;
                };
                m_data.startFrame = get("startframe").toInt64(m_data.startFrame);
                m_data.endFrame = get("endframe").toInt64(m_data.endFrame);
                m_data.durationMs = get("durationframe").toInt64(m_data.durationMs);
                m_data.name = QString::fromStdString(get("name").toStdString());
                m_data.ratio = get("ratio").toInt32(m_data.ratio);
                m_data.updateLengths();
                m_data.sendLengths(model && model->transitions().contains(this));
                place();
                if (auto *s = qobject_cast<TimeLineGraphicsScene *>(scene()))
                    s->refreshMenu(this, MENU_TRANSITION,
                                   panelValues(m_model ? m_model->clipByUuid(m_clicked) : nullptr));
            }
        }
        break;
    default:
        break;
    }
    if (model)
        model->notifyChanged();
}
