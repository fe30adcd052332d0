// Fuzzes the reader of what a drag into the timeline carries: any bytes under the
// "data" format give a whole payload or none, never a crash or a runaway allocation.
#include "FuzzApp.h"
#include "timeline/DropPayload.h"

#include <QGuiApplication>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    makeFuzzApp<QGuiApplication>((*argv)[0]); // fonts and colours need it
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), int(size));
    const DropPayload p = DropPayload::read(bytes);
    // A payload that reads whole names its kind; a refused one carries nothing.
    if (p.kind == DropPayload::Invalid && (!p.path.isEmpty() || !p.transition.isEmpty()))
        std::abort();
    if (p.kind != DropPayload::Invalid && DropPayload::tagOf(bytes).isEmpty())
        std::abort();
    return 0;
}
