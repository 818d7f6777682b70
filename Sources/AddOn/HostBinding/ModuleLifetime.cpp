// Load and unload of the add-on file. Built into the module only: test programs that link the add-on's objects set
// up their process themselves (AddOnProcess.hpp).

#include "AddOnProcess.hpp"
#include "HostTableExchange.hpp"
#include "KeepInMemory.hpp"
#include "QuillmarPalette.hpp"

#include "DebugOutput.hpp"
#include "UniString.hpp"

#include <dlfcn.h>

#include <string>

namespace {

// The add-on file's path, for the unload message.
std::string ModulePath() {
    Dl_info info{};
    if (dladdr(reinterpret_cast<const void*>(&ModulePath), &info) == 0 || info.dli_fname == nullptr) return {};
    return info.dli_fname;
}

struct ModuleLifetime {
    std::string modulePath;

    ModuleLifetime() : modulePath(ModulePath()) {
        // Sets up the palette's process-wide reference now, so that it outlives this object and can be released
        // explicitly at unload.
        (void)QuillmarPalette::HasInstance();
        // Windows registers the "commdlg_FileNameOK" window message here; this platform has no window messages.
        if (!SetUpAddOnProcess(reinterpret_cast<const void*>(&ModulePath)))
            GS::WriteDebugOutput("libcurl could not be set up: transfers will fail\n");
    }

    ~ModuleLifetime() {
        // The host's token is gone by now (or going): the palette's request is not withdrawn through it.
        StopKeepInMemoryRequests();
        QuillmarPalette::DestroyInstance();
        if (HostTableExchange::GetHostToken() != nullptr) {
            const GS::UniString line = GS::UniString::Printf("Abnormal add-on termination (\"%s\")\n", modulePath);
            GS::WriteDebugOutput(line.ToCStr().Get());
        }
        TearDownAddOnProcess();
    }
};

const ModuleLifetime moduleLifetime;

} // namespace
