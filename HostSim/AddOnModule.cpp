#include "AddOnModule.hpp"

#include <dlfcn.h>

#include <cstdio>
#include <cstring>

namespace HostSim {

namespace {

std::string Hex(UInt32 value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", value);
    return text;
}

std::string LastDlError() {
    const char* text = dlerror();
    return text != nullptr ? text : "unknown error";
}

} // namespace

std::unique_ptr<AddOnModule> AddOnModule::Open(const std::filesystem::path& path, std::string* error) {
    std::string ignored;
    std::string& message = error != nullptr ? *error : ignored;
    const std::string name = path.filename().string();

    std::unique_ptr<AddOnModule> module(new AddOnModule);
    module->path = path;
    module->handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (module->handle == nullptr) {
        message = "cannot load " + name + ": " + LastDlError();
        return nullptr;
    }

    void* getExported = dlsym(module->handle, API_GetExportedFuncAddrsName);
    void* setImported = dlsym(module->handle, API_SetImportedFuncAddrsName);
    if (getExported == nullptr || setImported == nullptr) {
        message = name + " does not export " +
                  (getExported == nullptr ? API_GetExportedFuncAddrsName : API_SetImportedFuncAddrsName);
        return nullptr;
    }
    module->exportedSymbol = getExported;
    module->setImported = reinterpret_cast<API_SetImportedFuncAddrsProc*>(setImported);

    std::memset(&module->record, 0, sizeof module->record);
    const GSErrCode filled = reinterpret_cast<API_GetExportedFuncAddrsProc*>(getExported)(&module->record);
    const API_AddOnEntryRecord& record = module->record;
    if (filled != NoError) {
        message = std::string(API_GetExportedFuncAddrsName) + " of " + name + " failed with " +
                  Hex(static_cast<UInt32>(filled));
        return nullptr;
    }
    if (record.layout != API_EntryRecordLayout) {
        message =
            "the entry record of " + name + " has layout " + Hex(record.layout) + ", not " + Hex(API_EntryRecordLayout);
        return nullptr;
    }
    const std::pair<bool, const char*> entryPoints[] = {{record.describeAddOn != nullptr, "describe"},
                                                        {record.registerInterface != nullptr, "registerInterface"},
                                                        {record.initialize != nullptr, "initialize"},
                                                        {record.release != nullptr, "release"}};
    for (const auto& [present, entryName] : entryPoints) {
        if (!present) {
            message = "the entry record of " + name + " has no " + entryName + " entry point";
            return nullptr;
        }
    }
    if (record.apiVersion != API_HostVersion) {
        message = "the entry record of " + name + " asks for API version " + std::to_string(record.apiVersion) +
                  ", this host has " + std::to_string(API_HostVersion);
        return nullptr;
    }
    return module;
}

AddOnModule::~AddOnModule() {
    Close();
}

GSErrCode AddOnModule::DeliverTable(const API_HostFunctionTable& table) const {
    return setImported(&table);
}

API_AddonType AddOnModule::Describe(API_EnvirParams* envir) const {
    return record.describeAddOn(envir);
}

GSErrCode AddOnModule::RegisterInterface(void* registrationValue) const {
    return record.registerInterface(registrationValue);
}

GSErrCode AddOnModule::Initialize(void* hostToken) const {
    return record.initialize(hostToken);
}

GSErrCode AddOnModule::Release(void* hostToken) const {
    return record.release(hostToken);
}

void AddOnModule::Abandon() noexcept {
    handle = nullptr;
    exportedSymbol = nullptr;
}

bool AddOnModule::Close() {
    if (handle == nullptr) return true;
    dlclose(handle);
    handle = nullptr;
    exportedSymbol = nullptr;
    // Asking without loading tells whether the object is still mapped.
    void* still = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NOLOAD);
    if (still == nullptr) return true;
    dlclose(still);
    return false;
}

} // namespace HostSim
