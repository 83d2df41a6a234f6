#pragma once

#include <string>

namespace vextral {

// The file-name part of a path: the text after the last "/" (the whole text
// when there is none). ":" is an ordinary character in Linux names.
std::string fileNamePart(const std::string& path);

// The extension of a name from its last "." (dot included) in lower case;
// empty when there is none. Only the file-name part counts.
std::string lowerExtension(const std::string& fileName);

// "Unknown picture file extension (.EXT)", EXT the extension as the name
// writes it (empty when the name has none): the error of a picture read or
// saved by its name's extension when no reader or writer knows it.
std::string unknownExtensionMessage(const std::string& fileName);

} // namespace vextral
