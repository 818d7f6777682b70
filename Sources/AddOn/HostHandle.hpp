#ifndef QUILLMAR_HOSTHANDLE_HPP
#define QUILLMAR_HOSTHANDLE_HPP

#include "MemoryManager.hpp"

// Owns a host memory handle that a host call handed over (a marquee polygon, a cutting-shape list) and releases
// it on every path. Bind it to the record's field before the call, so whatever the host puts there is released.
class HostHandleGuard {
public:
    explicit HostHandleGuard(GSHandle& field) noexcept : field(field) {}
    ~HostHandleGuard() { BMKillHandle(&field); }
    HostHandleGuard(const HostHandleGuard&) = delete;
    HostHandleGuard& operator=(const HostHandleGuard&) = delete;

private:
    GSHandle& field;
};

#endif
