#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace vextral::settings {

// Colours as the settings file stores them: a 32-bit value whose bytes are
// 00, blue, green, red (most significant first), so red is $000000FF.
using Colour = std::uint32_t;

constexpr Colour kWhite = 0x00FFFFFF;

// The value of a colour name (clRed, CLRED, clBtnFace, ...), letter case ignored.
std::optional<Colour> colourFromName(const std::string& name);
// The name of a named colour value.
std::optional<std::string> colourName(Colour colour);

// Reads a colour setting: a name, or a decimal or "$"-hexadecimal integer.
// Throws vextral::Error "'%s' is not a valid integer value" for anything else.
Colour colourFromText(const std::string& text);
// Writes a colour: its name when it has one, else "$" and 8 upper-case hex digits.
std::string colourToText(Colour colour);

// The colour as 0xRRGGBB for drawing. System colours map to their usual
// light-theme values.
std::uint32_t colourToRgb(Colour colour);

} // namespace vextral::settings
