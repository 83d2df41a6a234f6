// libFuzzer entry: every input is the text of Option.ini, whose Window
// section the desktop program reads at start-up: it must neither crash, hang,
// allocate without bound nor give back anything out of bounds.
#include "fuzz/FuzzWindowState.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    vextral::fuzz::exerciseWindowState(data, size);
    return 0;
}
