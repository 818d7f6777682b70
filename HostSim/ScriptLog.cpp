#include "ScriptLog.hpp"

namespace HostSim {

void ScriptLog::SetListener(std::function<void()> newListener) {
    const std::lock_guard lock(mutex);
    listener = std::move(newListener);
}

void ScriptLog::Append(std::string script, const void* page, const std::function<void(const std::string&)>& record) {
    std::function<void()> notify;
    {
        const std::lock_guard lock(mutex);
        if (record) record(script);
        entries.push_back(Entry{std::move(script), page});
        notify = listener;
    }
    if (notify) notify();
}

std::optional<std::size_t> ScriptLog::Find(const std::string& script, std::size_t from) const {
    const std::lock_guard lock(mutex);
    for (std::size_t i = from; i < entries.size(); ++i)
        if (entries[i].script == script) return i;
    return std::nullopt;
}

std::vector<ScriptLog::Entry> ScriptLog::GetEntries() const {
    const std::lock_guard lock(mutex);
    return entries;
}

std::size_t ScriptLog::GetSize() const {
    const std::lock_guard lock(mutex);
    return entries.size();
}

} // namespace HostSim
