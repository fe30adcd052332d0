#pragma once
// A timeline as the editor builds it, for one test function: the scene, the model
// with its five groups and a probe over the real decoder, and (when asked) the view.
// The history is cleared before and after, so each test starts from nothing.

#include "render/RenderManager.h"
#include "timeline/TimeLineGraphicsScene.h"
#include "timeline/TimeLineGraphicsView.h"
#include "timeline/TimelineDocument.h"

#include "undo/UndoController.h"

#include <memory>

namespace fixtures {

struct Timeline {
    RenderManager render; // probes media; no graphics device
    TimeLineGraphicsScene scene;
    TimelineDocument model{&scene};
    std::unique_ptr<TimeLineGraphicsView> view;

    explicit Timeline(bool withView = true)
    {
        zua::UndoController::instance()->reset();
        model.setProbe([this](const QString &p, bool) { return render.probeMedia(p, false); });
        model.buildGroups();
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
