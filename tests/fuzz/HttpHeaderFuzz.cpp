// libFuzzer entry: every input is an HTTP answer for the response header
// reader, which must neither crash, hang nor grow beyond its limits.
#include "fuzz/FuzzHttpHeader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    vextral::fuzz::exerciseHttpHeader(data, size);
    return 0;
}
