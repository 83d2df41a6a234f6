// libFuzzer entry: every input is the text of a mime.types file, read by the
// MIME type table, which must neither crash, hang nor grow beyond its limits.
#include "fuzz/FuzzMimeTypes.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    vextral::fuzz::exerciseMimeTypes(data, size);
    return 0;
}
