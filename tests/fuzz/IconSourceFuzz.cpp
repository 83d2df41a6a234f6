// libFuzzer entry: every input is a file handed to the icon reader, which must
// neither crash, hang nor allocate beyond reason on it.
#include "fuzz/FuzzIconSource.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    vextral::fuzz::exerciseIconSource(data, size);
    return 0;
}
