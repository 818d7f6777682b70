#include "Transcript.hpp"

#include <algorithm>
#include <cstdio>

namespace HostSim {

Line ResultCode(GSErrCode code) {
    if (code == NoError) return 0;
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", static_cast<UInt32>(code));
    return text;
}

void Transcript::SetOutput(std::ostream* out) {
    const std::lock_guard lock(mutex);
    output = out;
}

void Transcript::AddMask(const std::string& text, const std::string& replacement) {
    if (text.empty()) return;
    const std::lock_guard lock(mutex);
    for (const auto& mask : masks)
        if (mask.first == text) return;
    masks.emplace_back(text, replacement);
    // A folder inside another must be replaced before its parent swallows its prefix.
    std::stable_sort(masks.begin(), masks.end(),
                     [](const auto& a, const auto& b) { return a.first.size() > b.first.size(); });
}

void Transcript::ClearMasks() {
    const std::lock_guard lock(mutex);
    masks.clear();
}

std::string Transcript::MaskLocked(std::string text) const {
    for (const auto& [what, with] : masks) {
        for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + with.size()))
            text.replace(at, what.size(), with);
    }
    return text;
}

std::string Transcript::Mask(std::string text) const {
    const std::lock_guard lock(mutex);
    return MaskLocked(std::move(text));
}

void Transcript::MaskValue(Line& value) const {
    if (value.is_string()) {
        // In place: lines can carry thousands of texts, and most hold no mask.
        auto& text = value.get_ref<std::string&>();
        for (const auto& mask : masks) {
            if (text.find(mask.first) != std::string::npos) {
                text = MaskLocked(std::move(text));
                break;
            }
        }
    } else if (value.is_structured()) {
        for (auto& item : value)
            MaskValue(item);
    }
}

void Transcript::Write(Line line) {
    const std::lock_guard lock(mutex);
    MaskValue(line);
    if (output != nullptr) {
        // Texts from the add-on may hold broken UTF-8; the transcript must still be written.
        *output << line.dump(-1, ' ', false, Line::error_handler_t::replace) << '\n';
        output->flush();
    }
    if (keepLines) lines.push_back(std::move(line));
}

void Transcript::SetKeepLines(bool keep) {
    const std::lock_guard lock(mutex);
    keepLines = keep;
}

void Transcript::Error(const std::string& text) {
    Write(Line{{"error", text}});
}

std::vector<nlohmann::json> Transcript::GetLines() const {
    const std::lock_guard lock(mutex);
    std::vector<nlohmann::json> result;
    result.reserve(lines.size());
    for (const Line& line : lines)
        result.emplace_back(nlohmann::json::parse(line.dump(-1, ' ', false, Line::error_handler_t::replace)));
    return result;
}

std::size_t Transcript::GetLineCount() const {
    const std::lock_guard lock(mutex);
    return lines.size();
}

} // namespace HostSim
