#pragma once
// An exporter for tests that make their own render manager: it follows the manager's
// transport, composes at its project size and goes with it.

#include "render/RenderManager.h"
#include "render/export/Exporter.h"

namespace fixtures {

inline Exporter *exporterOf(RenderManager *render)
{
    return new Exporter(
        render->transport(),
        [render] { return QSize(int(render->sceneWidth()), int(render->sceneHeight())); }, render);
}

} // namespace fixtures
