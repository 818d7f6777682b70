#include "DebugOutput.hpp"

#include <cstdio>
#include <mutex>

namespace GS {

namespace {

std::mutex& SinkMutex() {
    static std::mutex mutex;
    return mutex;
}

std::function<void(const char*)>& Sink() {
    static std::function<void(const char*)> sink;
    return sink;
}

} // namespace

void WriteDebugOutput(const char* text) {
    if (text == nullptr) return;
    std::lock_guard lock(SinkMutex());
    if (Sink()) {
        Sink()(text);
    } else {
        std::fputs(text, stderr);
    }
}

void SetDebugOutputSink(std::function<void(const char*)> sink) {
    std::lock_guard lock(SinkMutex());
    Sink() = std::move(sink);
}

} // namespace GS
