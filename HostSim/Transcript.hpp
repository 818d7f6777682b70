#ifndef HOSTSIM_TRANSCRIPT_HPP
#define HOSTSIM_TRANSCRIPT_HPP

#include "Definitions.hpp"

#include <nlohmann/json.hpp>

#include <mutex>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

namespace HostSim {

// One transcript line; member order is kept so lines read as they were written.
using Line = nlohmann::ordered_json;

// A result code as the transcript shows it: 0 for NoError, else the code's eight hex digits ("0x81060001").
Line ResultCode(GSErrCode code);

// The host's record of a run: one JSON object per line, in the order things happened.
// [thread-safe] Lines may come from any thread (page scripts of worker threads, debug output).
class Transcript {
public:
    // Echoes every line to `out` (compact, flushed) from now on; nullptr stops the echo. `out` must outlive its use.
    void SetOutput(std::ostream* out);

    // Every occurrence of `text` in the strings of later lines is written as `replacement`, so that paths of a
    // run's own folders compare across runs. Longer texts are replaced first.
    void AddMask(const std::string& text, const std::string& replacement);
    void ClearMasks();

    void Write(Line line);
    // Whether lines are kept for GetLines (the default). A long run that only echoes them, such as a benchmark,
    // turns this off so that memory stays flat.
    void SetKeepLines(bool keep);
    // {"error": text}
    void Error(const std::string& text);

    // The lines so far, as tests read them.
    std::vector<nlohmann::json> GetLines() const;
    std::size_t GetLineCount() const;

    // Applies the masks to one text (what Write does to every string).
    std::string Mask(std::string text) const;

private:
    void MaskValue(Line& value) const;
    std::string MaskLocked(std::string text) const;

    mutable std::mutex mutex;
    std::ostream* output = nullptr;
    std::vector<std::pair<std::string, std::string>> masks;
    std::vector<Line> lines;
    bool keepLines = true;
};

} // namespace HostSim

#endif
