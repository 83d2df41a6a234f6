// libFuzzer entry: every input is the text of an INI file (update.ini comes
// from the network), read and rewritten by the settings file reader, which
// must neither crash, hang nor lose a value on it.
#include "fuzz/FuzzProfileFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    vextral::fuzz::exerciseProfileFile(data, size);
    return 0;
}
