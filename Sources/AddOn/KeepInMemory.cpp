#include "KeepInMemory.hpp"

#include "HostBinding.hpp"

#include <mutex>

namespace {

std::mutex requestMutex;
unsigned requestCount = 0;
bool stopped = false;

} // namespace

KeepInMemoryRequest::KeepInMemoryRequest() {
    std::lock_guard lock(requestMutex);
    if (requestCount++ == 0 && !stopped) ACAPI_KeepInMemory(true);
}

KeepInMemoryRequest::~KeepInMemoryRequest() {
    std::lock_guard lock(requestMutex);
    if (--requestCount == 0 && !stopped) ACAPI_KeepInMemory(false);
}

unsigned GetKeepInMemoryRequestCount() {
    std::lock_guard lock(requestMutex);
    return requestCount;
}

void StopKeepInMemoryRequests() {
    std::lock_guard lock(requestMutex);
    stopped = true;
}
