// libFuzzer entry: every input is GIF image data for the LZW decoder and
// pixels for an encode-decode round trip; neither may crash, hang, allocate
// beyond reason or give back other pixels.
#include "fuzz/FuzzGif.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    vextral::fuzz::exerciseGifLzw(data, size);
    return 0;
}
