#include "KeepInMemory.hpp"

#include "HostBinding/HostOperations.hpp"

#include <mutex>

namespace {

std::mutex requestMutex;
unsigned requestCount = 0;
bool stopped = false;

} // namespace

KeepInMemoryRequest::KeepInMemoryRequest() {
    std::lock_guard lock(requestMutex);
    // A host that cannot keep the add-on loaded only unloads it sooner; the request stands either way.
    if (requestCount++ == 0 && !stopped) (void)ACAPI_KeepInMemory(true);
}

KeepInMemoryRequest::~KeepInMemoryRequest() {
    std::lock_guard lock(requestMutex);
    // Nothing is left to undo when the host refuses: the add-on merely stays loaded longer.
    if (--requestCount == 0 && !stopped) (void)ACAPI_KeepInMemory(false);
}

unsigned GetKeepInMemoryRequestCount() {
    std::lock_guard lock(requestMutex);
    return requestCount;
}

void StopKeepInMemoryRequests() {
    std::lock_guard lock(requestMutex);
    stopped = true;
}
