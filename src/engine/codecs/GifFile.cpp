#include "codecs/Writers.h"

#include "core/Error.h"

namespace vextral::codecs {

void writeGif(ImageBuffer& buffer, const std::string& fileName)
{
    beginWrite(buffer, fileName);
    throw Error("Writing .gif files is not available yet");
}

void readGif(ImageBuffer& buffer, const std::string&) { buffer.aborting = true; }

} // namespace vextral::codecs
