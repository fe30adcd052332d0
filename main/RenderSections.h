#pragma once
// The sections a render needs from a project file: the scene size and the timeline.
// Materials are not needed to render; nothing is written. Used on the thread that
// reads the project (the main thread).

#include "ProjectSections.h"

#include "render/RenderManager.h"
#include "render/SceneSection.h"
#include "timeline/TimelineDocument.h"
#include "timeline/TimelineSection.h"

class RenderSections : public ProjectSections {
public:
    RenderSections(RenderManager &render, TimelineDocument &timeline)
        : m_render(render), m_timeline(timeline)
    {}
    void writeScene(QXmlStreamWriter &) override {}
    void readScene(QXmlStreamReader &r) override
    {
        if (const std::optional<QSize> size = scenesection::read(r))
            m_render.setSceneSize(uint32_t(size->width()), uint32_t(size->height()), false);
    }
    void readLegacyCanvas(QXmlStreamReader &r) override { r.skipCurrentElement(); }
    void writeMaterials(QXmlStreamWriter &, bool) override {}
    void readMaterials(QXmlStreamReader &r) override { r.skipCurrentElement(); }
    void readLegacyMaterials(QXmlStreamReader &r) override { r.skipCurrentElement(); }
    void writeTimeline(QXmlStreamWriter &, bool) override {}
    void readTimeline(QXmlStreamReader &r) override { TimelineSection::read(m_timeline, r); }
    void readLegacyScene(QXmlStreamReader &r) override { r.skipCurrentElement(); }
    void readLegacyTree(QXmlStreamReader &r) override { r.skipCurrentElement(); }
    void clearContent() override {}

private:
    RenderManager &m_render;
    TimelineDocument &m_timeline;
};
