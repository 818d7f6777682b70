#include "MenuText.hpp"

#include <algorithm>
#include <charconv>

namespace HostSim {

MenuItemText ParseMenuItemText(const std::string& itemString) {
    MenuItemText result;
    const std::size_t caret = itemString.find('^');
    result.text = itemString.substr(0, caret);
    while (!result.text.empty() && result.text.back() == ' ')
        result.text.pop_back();
    if (caret == std::string::npos) return result;

    std::size_t from = caret + 1;
    for (;;) {
        const std::size_t next = itemString.find('^', from);
        const std::string code = itemString.substr(from, next == std::string::npos ? std::string::npos : next - from);
        if (!code.empty()) {
            const bool digits = std::all_of(code.begin(), code.end(), [](char ch) { return ch >= '0' && ch <= '9'; });
            Int32 icon = 0;
            const auto [end, error] = std::from_chars(code.data(), code.data() + code.size(), icon);
            if (digits && error == std::errc() && end == code.data() + code.size()) {
                result.icon = icon;
            } else {
                result.controls.push_back(code);
            }
        }
        if (next == std::string::npos) break;
        from = next + 1;
    }
    return result;
}

} // namespace HostSim
