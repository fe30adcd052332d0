// Fuzzes the value text reader: any text must read without fault, and whatever
// reads successfully must reach a fixed point after one write/read cycle.
#include "common/ValueQt.h"

#include <cstdint>
#include <cstring>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::string text(reinterpret_cast<const char *>(data), size);
    bg::Value v;
    if (!v.read(text.c_str()))
        return 0;
    const std::string once = v.write();
    bg::Value again;
    if (!again.read(once.c_str()))
        __builtin_trap(); // a written value must read back
    if (again.write() != bg::Value(again).write())
        __builtin_trap(); // copies write the same text
    bg::Value third;
    third.read(again.write().c_str());
    if (third.write() != again.write())
        __builtin_trap(); // the text form is stable after one cycle
    return 0;
}
