#include "RenderTypes.h"

#include "export/MVParams.h"

void registerRenderMetaTypes()
{
    qRegisterMetaType<MoveType>("MoveType");
    qRegisterMetaType<EditType>("EditType");
    qRegisterMetaType<int64_t>("int64_t");
    qRegisterMetaType<QList<AudioFrameData>>("QList<AudioFrameData>");
    qRegisterMetaType<QList<VFrameInfo>>("QList<VFrameInfo>");
    qRegisterMetaType<QList<TrackFrame>>("QList<TrackFrame>");
    qRegisterMetaType<MVParams *>("MVParams*");
}
