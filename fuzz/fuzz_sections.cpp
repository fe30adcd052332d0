// Fuzzes the project file's section readers one by one, without a window or the
// graphics device, so that each input costs microseconds: the first byte picks the
// reader (material, legacy material, timeline, scene, legacy canvas), the rest is the
// section's XML. Nothing may crash, hang or leave the history open.
#include "FuzzApp.h"

#include "render/SceneSection.h"
#include "resource/MaterialManager.h"
#include "resource/MaterialView.h"
#include "timeline/TimelineDocument.h"
#include "timeline/TimelineSection.h"

#include "undo/UndoController.h"

#include <QApplication>
#include <QXmlStreamReader>

#include <cstdint>
#include <cstdlib>

namespace {

struct Owners {
    MaterialView materials;
    TimelineDocument timeline;
};
Owners *g = nullptr;

// Files need not exist: names ending in ".mp4" probe as a 5 s video, others as
// nothing, so the reader's valid and invalid branches both run without decoding.
bg::ValueMap fakeProbe(const QString &path, bool)
{
    bg::ValueMap m;
    const bool video = path.endsWith(QLatin1String(".mp4"));
    m["valid"] = bg::Value(video);
    m["duration"] = bg::Value(int64_t(video ? 5000 : 0));
    m["pix"] = bg::Value(int64_t(video ? 150 : 0));
    m["width"] = bg::Value(int32_t(640));
    m["height"] = bg::Value(int32_t(360));
    return m;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    makeFuzzApp<QApplication>((*argv)[0]);
    g = new Owners;
    g->timeline.setProbe(fakeProbe);
    g->timeline.buildGroups();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    const int which = data[0] % 5;
    QXmlStreamReader reader(QByteArray(reinterpret_cast<const char *>(data + 1), int(size - 1)));
    if (!reader.readNextStartElement())
        return 0;
    switch (which) {
    case 0:
        g->materials.readMaterials(reader);
        break;
    case 1:
        g->materials.readLegacyMaterials(reader);
        break;
    case 2:
        TimelineSection::read(g->timeline, reader);
        break;
    case 3:
        scenesection::read(reader);
        break;
    default:
        scenesection::readLegacyCanvas(reader);
        break;
    }
    if (zua::UndoController::instance()->mergeDepth() != 0)
        std::abort(); // a reader left a merge sequence open
    g->materials.manager()->ClearPreviewQueue();
    g->materials.manager()->ClearMaterials();
    g->timeline.clearAll();
    zua::UndoController::instance()->reset();
    // What the editor's event loop would do between two files: deferred deletions and
    // the caches' timed clean-ups.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
    return 0;
}
