#pragma once
// A timeline as the editor builds it, for one test function: the model with its
// five groups and a probe over the real decoder, the scene attached to it, and
// (when asked) the view.
// The history is cleared before and after, so each test starts from nothing.

#include "render/RenderManager.h"
#include "timeline/TimeLineGraphicsScene.h"
#include "timeline/TimeLineGraphicsView.h"
#include "timeline/TimelineCheck.h"
#include "timeline/TimelineDocument.h"

#include "undo/UndoController.h"

#include <QtTest>

#include <memory>

// The document keeps its rules (nothing out of order, overlapping, outside its
// material, between clips that are gone, or drawn elsewhere than its record).
#define VERIFY_CONSISTENT(model)                                                                   \
    do {                                                                                           \
        const QStringList problems = timelinecheck::problems(model);                               \
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join('\n')));                             \
    } while (false)

namespace fixtures {

struct Timeline {
    RenderManager render; // probes media; no graphics device
    TimeLineGraphicsScene scene;
    TimelineDocument model;
    std::unique_ptr<TimeLineGraphicsView> view;

    explicit Timeline(bool withView = true)
    {
        zua::UndoController::instance()->reset();
        model.buildGroups();
        model.attachScene(&scene);
        if (withView)
            view = std::make_unique<TimeLineGraphicsView>(&scene, &model);
    }
    ~Timeline()
    {
        model.clearAll();
        zua::UndoController::instance()->reset();
        view.reset();
    }
};

} // namespace fixtures
