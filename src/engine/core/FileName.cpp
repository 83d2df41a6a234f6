#include "core/FileName.h"

#include "core/Text.h"

namespace vextral {

std::string fileNamePart(const std::string& path)
{
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string lowerExtension(const std::string& fileName)
{
    const std::string name = fileNamePart(fileName);
    const std::size_t dot = name.find_last_of('.');
    return dot == std::string::npos ? std::string() : lowerAscii(name.substr(dot));
}

std::string unknownExtensionMessage(const std::string& fileName)
{
    const std::string name = fileNamePart(fileName);
    const std::size_t dot = name.rfind('.');
    return "Unknown picture file extension (." + (dot == std::string::npos ? std::string() : name.substr(dot + 1)) +
           ")";
}

} // namespace vextral
