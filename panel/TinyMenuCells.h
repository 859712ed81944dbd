#pragma once

#include <array>
#include <string>

namespace kvt::panel {

inline constexpr int kTinyMenuCells = 15;

// What the small edit field's fifteen cells show for an edit text and its
// cursor: one character per cell, centred the way the instrument centres
// it, and the cell under the cursor (-1 when that falls outside).
struct TinyMenuLayout {
    std::array<std::string, kTinyMenuCells> cells;
    int start = 0;
    int highlighted = -1;
};

// Places a UTF-8 edit text. The field is centred on the text's width in
// the instrument's double-byte code page, where every non-ASCII sign ("Ω")
// takes two bytes: with an ohm sign the text is centred in 16 halves,
// otherwise in 15. Characters that fall outside the field are dropped.
TinyMenuLayout LayoutTinyMenu(const std::string& text, int cursor);

}  // namespace kvt::panel
