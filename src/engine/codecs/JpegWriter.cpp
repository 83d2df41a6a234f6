#include "codecs/Writers.h"

#include "core/Error.h"

namespace vextral::codecs {

void writeJpeg(ImageBuffer& buffer, const std::string& fileName)
{
    beginWrite(buffer, fileName);
    throw Error("Writing " + lowerExtension(fileName) + " files is not available yet");
}

} // namespace vextral::codecs
