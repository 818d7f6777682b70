#ifndef HOSTSIM_SCRIPTLOG_HPP
#define HOSTSIM_SCRIPTLOG_HPP

#include <cstddef>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace HostSim {

// Every script run in any page of the run, in the order the pages received them. [thread-safe]
class ScriptLog {
public:
    struct Entry {
        std::string script;
        const void* page; // which page ran it
    };

    // Called after each append, outside the log's lock (the host wakes its waiting main thread with it).
    void SetListener(std::function<void()> listener);

    // `record` runs under the log's lock, so whatever it writes is in the order of the log.
    void Append(std::string script, const void* page, const std::function<void(const std::string&)>& record);

    // Index of the first entry at or after `from` whose script is exactly `script`.
    std::optional<std::size_t> Find(const std::string& script, std::size_t from) const;
    std::vector<Entry> GetEntries() const;
    std::size_t GetSize() const;

private:
    mutable std::mutex mutex;
    std::vector<Entry> entries;
    std::function<void()> listener;
};

} // namespace HostSim

#endif
