#ifndef HOSTSIM_DWGTRANSLATORSTANDIN_HPP
#define HOSTSIM_DWGTRANSLATORSTANDIN_HPP

#include "ParameterLists.hpp"
#include "Transcript.hpp"

#include <filesystem>
#include <memory>
#include <optional>
#include <string>

namespace HostSim {

struct HostState;

// The module identifier of the host's DWG translator add-on.
inline constexpr UInt32 DwgTranslatorDeveloperID = 1198731108; // 0x47732F64
inline constexpr UInt32 DwgTranslatorLocalID = 1322668197;     // 0x4ED650A5

// Where the translator keeps its default configuration, under the user data folder.
inline constexpr const char* DwgConfigurationFolder = "DWG Translator";
inline constexpr const char* DwgConfigurationName = "Default Translator.xml";

// The part of the host's DWG translator that other add-ons reach through the add-on command call (version 1):
// 'GDCO' with "Mode" = "Default" writes into the IO::Location result its default configuration file, made when
// first asked for; 'SAV2' saves the floor plan (WritePlanDxf) into the file whose URL "FileName" holds, with the
// configuration whose URL "ConfigFile" holds, which must be that default configuration. No DWG writer is packaged,
// so the file holds DXF. Every command received is written to the transcript with its parameters before it runs; a
// saved file goes into HostState::savedFiles. [main-thread]
class DwgTranslatorStandIn {
public:
    // The state (user data folder, project, saved files) must outlive the stand-in.
    DwgTranslatorStandIn(std::shared_ptr<Transcript> transcript, const ParameterLists& lists, HostState& state)
        : transcript(std::move(transcript)), lists(lists), state(state) {}

    GSErrCode Call(UInt32 code, Int32 version, API_MDCLParameterList params, void* resultData, bool silent);

    // The default configuration file for the current user data folder (it may not exist yet).
    std::filesystem::path GetConfigurationFile() const;

private:
    Line Describe(API_MDCLParameterList params) const;
    std::optional<std::string> Text(API_MDCLParameterList params, const char* name) const;
    GSErrCode GetDefaultConfiguration(API_MDCLParameterList params, void* resultData);
    GSErrCode Save(API_MDCLParameterList params);

    std::shared_ptr<Transcript> transcript;
    const ParameterLists& lists;
    HostState& state;
};

// The path a file URL names: "file://" and a percent-encoded UTF-8 absolute path, as IO::Location::ToURL writes it.
// None for another scheme, a relative path, a broken escape or an escaped NUL.
std::optional<std::filesystem::path> PathOfFileUrl(const std::string& url);

} // namespace HostSim

#endif
