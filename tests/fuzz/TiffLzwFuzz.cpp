// libFuzzer entry: every input is a row length and a TIFF strip handed to the
// LZW decoder row by row, which must neither crash, hang nor read or write
// outside its buffers.
#include "fuzz/FuzzGif.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    vextral::fuzz::exerciseTiffLzw(data, size);
    return 0;
}
