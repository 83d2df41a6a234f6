#pragma once

#include <string>

namespace vextral {

// The file-name part of a path: the text after the last "/" (the whole text
// when there is none). ":" is an ordinary character in Linux names.
std::string fileNamePart(const std::string& path);

// The extension of a name from its last "." (dot included) in lower case;
// empty when there is none. Only the file-name part counts.
std::string lowerExtension(const std::string& fileName);

} // namespace vextral
