#pragma once

namespace vextral::gui {

// The three views of the icon list: large icons in rows, a list with each
// source file's name, details in columns.
enum class IconLayout { LargeIcon, List, Details };

// The sides the icon list draws its icons at, smallest first.
inline constexpr int kZoomSides[] = {16, 24, 32, 48, 64, 96, 128, 256};

} // namespace vextral::gui
