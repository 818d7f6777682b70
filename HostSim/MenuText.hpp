#ifndef HOSTSIM_MENUTEXT_HPP
#define HOSTSIM_MENUTEXT_HPP

#include "Definitions.hpp"

#include <optional>
#include <string>
#include <vector>

namespace HostSim {

// A menu item string as the host reads it: the text shown, then "^"-separated control codes; a code of digits only
// names the item's icon resource ("Quillmar Palette ^E3^10001": text "Quillmar Palette", control "E3", icon 10001).
struct MenuItemText {
    std::string text;
    std::vector<std::string> controls;
    std::optional<Int32> icon;
};

MenuItemText ParseMenuItemText(const std::string& itemString);

} // namespace HostSim

#endif
