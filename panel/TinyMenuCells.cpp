#include "panel/TinyMenuCells.h"

#include <string_view>
#include <vector>

namespace kvt::panel {
namespace {

constexpr std::string_view kOhm = "Ω";

// Splits UTF-8 text into characters; a broken sequence stays one byte each.
std::vector<std::string> Characters(const std::string& text) {
    std::vector<std::string> characters;
    size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<unsigned char>(text[i]);
        size_t length = 1;
        if (lead >= 0xF0) {
            length = 4;
        } else if (lead >= 0xE0) {
            length = 3;
        } else if (lead >= 0xC0) {
            length = 2;
        }
        if (i + length > text.size()) {
            length = 1;
        }
        for (size_t k = 1; k < length; ++k) {
            if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) {
                length = 1;
                break;
            }
        }
        characters.push_back(text.substr(i, length));
        i += length;
    }
    return characters;
}

}  // namespace

TinyMenuLayout LayoutTinyMenu(const std::string& text, int cursor) {
    TinyMenuLayout layout;
    const std::vector<std::string> characters = Characters(text);
    // The width in the code page the instrument counts in.
    int bytes = 0;
    for (const std::string& character : characters) {
        bytes += character.size() == 1 ? 1 : 2;
    }
    const bool hasOhm = text.find(kOhm) != std::string::npos;
    layout.start = ((hasOhm ? 16 : 15) - bytes) / 2;
    for (size_t k = 0; k < characters.size(); ++k) {
        const int cell = layout.start + static_cast<int>(k);
        if (cell >= 0 && cell < kTinyMenuCells) {
            layout.cells[cell] = characters[k];
        }
    }
    const int highlighted = layout.start + cursor;
    if (highlighted >= 0 && highlighted < kTinyMenuCells) {
        layout.highlighted = highlighted;
    }
    return layout;
}

}  // namespace kvt::panel
