// libFuzzer entry: every input is a file handed to the GIF reader (and, when
// the picture is small, written back and read again), which must neither
// crash, hang nor allocate beyond what the file can hold.
#include "fuzz/FuzzGif.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    vextral::fuzz::exerciseGifReader(data, size);
    return 0;
}
