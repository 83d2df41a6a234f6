// libFuzzer entry: every input is a picture file of a chosen extension handed
// to the converter's reader.
#include "fuzz/FuzzPictureReader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    vextral::fuzz::exercisePictureReader(data, size);
    return 0;
}
