#include "settings/ColourNames.h"

#include "core/Error.h"
#include "core/Text.h"

#include <array>
#include <cstdio>

namespace vextral::settings {

namespace {

struct Named {
    const char* name;
    Colour value;
};

constexpr Colour kSystem = 0x80000000u;

// The plain colours first, then the system colours; writing prefers the first
// name of a value.
constexpr std::array<Named, 42> kNames = {{
    {"clBlack", 0x00000000},
    {"clMaroon", 0x00000080},
    {"clGreen", 0x00008000},
    {"clOlive", 0x00008080},
    {"clNavy", 0x00800000},
    {"clPurple", 0x00800080},
    {"clTeal", 0x00808000},
    {"clGray", 0x00808080},
    {"clSilver", 0x00C0C0C0},
    {"clRed", 0x000000FF},
    {"clLime", 0x0000FF00},
    {"clYellow", 0x0000FFFF},
    {"clBlue", 0x00FF0000},
    {"clFuchsia", 0x00FF00FF},
    {"clAqua", 0x00FFFF00},
    {"clWhite", 0x00FFFFFF},
    {"clNone", 0x1FFFFFFF},
    {"clScrollBar", kSystem + 0},
    {"clBackground", kSystem + 1},
    {"clActiveCaption", kSystem + 2},
    {"clInactiveCaption", kSystem + 3},
    {"clMenu", kSystem + 4},
    {"clWindow", kSystem + 5},
    {"clWindowFrame", kSystem + 6},
    {"clMenuText", kSystem + 7},
    {"clWindowText", kSystem + 8},
    {"clCaptionText", kSystem + 9},
    {"clActiveBorder", kSystem + 10},
    {"clInactiveBorder", kSystem + 11},
    {"clAppWorkSpace", kSystem + 12},
    {"clHighlight", kSystem + 13},
    {"clHighlightText", kSystem + 14},
    {"clBtnFace", kSystem + 15},
    {"clBtnShadow", kSystem + 16},
    {"clGrayText", kSystem + 17},
    {"clBtnText", kSystem + 18},
    {"clInactiveCaptionText", kSystem + 19},
    {"clBtnHighlight", kSystem + 20},
    {"cl3DDkShadow", kSystem + 21},
    {"cl3DLight", kSystem + 22},
    {"clInfoText", kSystem + 23},
    {"clInfoBk", kSystem + 24},
}};

// Light-theme values (0xRRGGBB) of the 25 system colours, in index order.
constexpr std::array<std::uint32_t, 25> kSystemRgb = {
    0xC8C8C8, 0x000000, 0x99B4D1, 0xBFCDDB, 0xF0F0F0, 0xFFFFFF, 0x646464, 0x000000, 0x000000,
    0x000000, 0xB4B4B4, 0xF4F7FC, 0xABABAB, 0x3399FF, 0xFFFFFF, 0xF0F0F0, 0xA0A0A0, 0x6D6D6D,
    0x000000, 0x000000, 0xFFFFFF, 0x696969, 0xE3E3E3, 0x000000, 0xFFFFE1};

} // namespace

std::optional<Colour> colourFromName(const std::string& name)
{
    for (const Named& n : kNames) {
        if (sameName(name, n.name)) return n.value;
    }
    return std::nullopt;
}

std::optional<std::string> colourName(Colour colour)
{
    for (const Named& n : kNames) {
        if (n.value == colour) return std::string(n.name);
    }
    return std::nullopt;
}

Colour colourFromText(const std::string& text)
{
    if (const auto named = colourFromName(text)) return *named;
    if (const auto number = parseInteger(text)) return static_cast<Colour>(*number);
    throw Error("'" + text + "' is not a valid integer value");
}

std::string colourToText(Colour colour)
{
    if (const auto name = colourName(colour)) return *name;
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "$%08X", colour);
    return buffer;
}

std::uint32_t colourToRgb(Colour colour)
{
    if ((colour & 0xFF000000u) == kSystem) {
        const std::uint32_t index = colour & 0xFFu;
        return index < kSystemRgb.size() ? kSystemRgb[index] : 0;
    }
    return ((colour & 0xFF) << 16) | (colour & 0xFF00) | ((colour >> 16) & 0xFF);
}

} // namespace vextral::settings
