#include "codecs/Writers.h"

#include "core/Error.h"

namespace vextral::codecs {

void writeIco(ImageBuffer& buffer, const std::string& fileName)
{
    beginWrite(buffer, fileName);
    throw Error("Writing .ico files is not available yet");
}

void writeCur(ImageBuffer& buffer, const std::string& fileName)
{
    beginWrite(buffer, fileName);
    throw Error("Writing .cur files is not available yet");
}

void writeWmf(ImageBuffer& buffer, const std::string& fileName)
{
    beginWrite(buffer, fileName);
    throw Error("Writing .wmf files is not available yet");
}

} // namespace vextral::codecs
