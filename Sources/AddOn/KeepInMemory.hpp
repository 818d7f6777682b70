#ifndef QUILLMAR_KEEPINMEMORY_HPP
#define QUILLMAR_KEEPINMEMORY_HPP

// The host keeps the add-on loaded on one on/off switch, while the palette and every running job need it at once.
// Requests are counted: the switch goes on with the first request and off when the last one is withdrawn.
// [thread-safe] Jobs withdraw on their own threads; since the palette holds a request for as long as jobs can run,
// the switch itself is only thrown on the main thread.
class KeepInMemoryRequest {
public:
    KeepInMemoryRequest();
    ~KeepInMemoryRequest();
    KeepInMemoryRequest(const KeepInMemoryRequest&) = delete;
    KeepInMemoryRequest& operator=(const KeepInMemoryRequest&) = delete;
};

// Requests currently held (for tests and diagnostics).
unsigned GetKeepInMemoryRequestCount();
// From now on withdrawals no longer reach the host (its token is gone while the add-on file is unloaded).
void StopKeepInMemoryRequests();

#endif
