#pragma once

#include <array>
#include <string>

namespace kvt::panel {

// The skin's control names of one soft key: the key's container (key text
// and background) and its four labels (title, subtitle, option A, option B).
struct KVTSoftKeyPanel {
    std::string container;
    std::string nameLabel;
    std::string valueLabel;
    std::string value1Label;
    std::string value2Label;
};

inline constexpr int kSoftKeyCount = 6;

// The six soft keys in position order: "ContainerF1", "LabelF1Name", ...
inline std::array<KVTSoftKeyPanel, kSoftKeyCount> SoftKeyPanels() {
    std::array<KVTSoftKeyPanel, kSoftKeyCount> panels;
    for (int i = 0; i < kSoftKeyCount; ++i) {
        // Appended rather than a literal prepended to a temporary: GCC 12
        // reports a false -Wrestrict for that at -O3.
        std::string key = "F";
        key += std::to_string(i + 1);
        panels[i] = {"Container" + key, "Label" + key + "Name", "Label" + key + "Value",
                     "Label" + key + "Value1", "Label" + key + "Value2"};
    }
    return panels;
}

}  // namespace kvt::panel
