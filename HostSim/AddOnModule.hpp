#ifndef HOSTSIM_ADDONMODULE_HPP
#define HOSTSIM_ADDONMODULE_HPP

#include "APIBinding.hpp"

#include <filesystem>
#include <memory>
#include <string>

namespace HostSim {

// An add-on module opened by the host: the shared object, its two exports and the entry record it filled.
// The entry-point calls are the bare calls, in whatever order the caller makes them (the host keeps the order;
// tests may break it). Exceptions leaving an entry point pass through. [main-thread]
class AddOnModule {
public:
    // dlopens the module (RTLD_NOW | RTLD_LOCAL), looks up both exports, lets it fill the entry record and checks
    // the record: layout word, the four entry points, API version. On any failure returns nullptr with *error
    // saying what is wrong; the module is closed again.
    static std::unique_ptr<AddOnModule> Open(const std::filesystem::path& path, std::string* error);

    ~AddOnModule(); // closes the module if still open
    AddOnModule(const AddOnModule&) = delete;
    AddOnModule& operator=(const AddOnModule&) = delete;

    const std::filesystem::path& GetPath() const noexcept { return path; }
    const API_AddOnEntryRecord& GetEntryRecord() const noexcept { return record; }
    // An address inside the module, for reading its resources.
    const void* GetAddressInModule() const noexcept { return exportedSymbol; }

    GSErrCode DeliverTable(const API_HostFunctionTable& table) const;
    API_AddonType Describe(API_EnvirParams* envir) const;
    GSErrCode RegisterInterface(void* registrationValue) const;
    GSErrCode Initialize(void* hostToken) const;
    GSErrCode Release(void* hostToken) const;

    bool IsOpen() const noexcept { return handle != nullptr; }
    // dlcloses the module. True when it is gone from the process afterwards; false when it stays mapped (still
    // referenced, or marked not to be unloaded), so that its unload code has not run.
    bool Close();
    // Forgets the module without closing it: its code stays mapped for threads that still run in it.
    void Abandon() noexcept;

private:
    AddOnModule() = default;

    std::filesystem::path path;
    void* handle = nullptr;
    const void* exportedSymbol = nullptr;
    API_SetImportedFuncAddrsProc* setImported = nullptr;
    API_AddOnEntryRecord record{};
};

} // namespace HostSim

#endif
