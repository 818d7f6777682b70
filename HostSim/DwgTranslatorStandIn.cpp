#include "DwgTranslatorStandIn.hpp"

#include "HostServices.hpp"
#include "PlanDrawing.hpp"
#include "ScriptValues.hpp"

#include "Location.hpp"

#include <fstream>
#include <system_error>

namespace HostSim {

namespace {

constexpr UInt32 GetDefaultConfigurationCode = API_FourCharCode("GDCO");
constexpr UInt32 SaveCode = API_FourCharCode("SAV2");

// What the translator's default configuration says; the stand-in only checks that it is named.
constexpr const char* DefaultConfiguration = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                                             "<DwgTranslator name=\"Default\" format=\"DXF\" units=\"m\"/>\n";

int HexValue(char ch) {
    if (ch >= '0' && ch <= '9') return ch - '0';
    if (ch >= 'A' && ch <= 'F') return ch - 'A' + 10;
    if (ch >= 'a' && ch <= 'f') return ch - 'a' + 10;
    return -1;
}

} // namespace

std::optional<std::filesystem::path> PathOfFileUrl(const std::string& url) {
    const std::string scheme = "file://";
    if (url.compare(0, scheme.size(), scheme) != 0) return std::nullopt;
    std::string utf8;
    for (std::size_t i = scheme.size(); i < url.size(); ++i) {
        if (url[i] != '%') {
            utf8 += url[i];
            continue;
        }
        if (i + 2 >= url.size()) return std::nullopt;
        const int high = HexValue(url[i + 1]);
        const int low = HexValue(url[i + 2]);
        if (high < 0 || low < 0 || (high == 0 && low == 0)) return std::nullopt;
        utf8 += static_cast<char>(high * 16 + low);
        i += 2;
    }
    if (utf8.empty() || utf8.front() != '/') return std::nullopt;
    return IO::Location(ToUniString(utf8)).ToFileSystemPath();
}

std::filesystem::path DwgTranslatorStandIn::GetConfigurationFile() const {
    return state.userDataFolder.ToFileSystemPath() / DwgConfigurationFolder / DwgConfigurationName;
}

Line DwgTranslatorStandIn::Describe(API_MDCLParameterList params) const {
    const StoredParameterList* list = lists.Find(params);
    if (list == nullptr) return "not a parameter list";
    Line result = Line::object();
    for (const StoredParameter& parameter : *list)
        result[parameter.name] = DescribeParameterValue(parameter);
    return result;
}

std::optional<std::string> DwgTranslatorStandIn::Text(API_MDCLParameterList params, const char* name) const {
    const StoredParameter* parameter = lists.Find(params, name);
    if (parameter == nullptr || parameter->type != MDCLPar_string) return std::nullopt;
    return parameter->stringValue;
}

GSErrCode DwgTranslatorStandIn::Call(UInt32 code, Int32 version, API_MDCLParameterList params, void* resultData,
                                     bool silent) {
    Line call{{"addOn", "dwgTranslator"},
              {"code", ToUtf8(API_FourCharCodeToText(code))},
              {"version", version},
              {"silent", silent}};
    call["params"] = params == nullptr ? Line(nullptr) : Describe(params);
    transcript->Write(Line{{"addOnCommand", std::move(call)}});

    if (version != 1) return APIERR_MODULCMDNOTSUPPORTED;
    if (code == GetDefaultConfigurationCode) return GetDefaultConfiguration(params, resultData);
    if (code == SaveCode) return Save(params);
    return APIERR_MODULCMDNOTSUPPORTED;
}

GSErrCode DwgTranslatorStandIn::GetDefaultConfiguration(API_MDCLParameterList params, void* resultData) {
    if (resultData == nullptr || Text(params, "Mode") != "Default") return APIERR_BADPARS;
    if (!state.userDataFolder.IsAbsolute()) return APIERR_GENERAL; // nowhere to keep it
    const std::filesystem::path file = GetConfigurationFile();
    std::error_code error;
    if (!std::filesystem::is_regular_file(file, error)) {
        std::filesystem::create_directories(file.parent_path(), error);
        std::ofstream out(file, std::ios::binary);
        out << DefaultConfiguration;
        out.close();
        if (!out) {
            std::filesystem::remove(file, error);
            return APIERR_GENERAL;
        }
    }
    *static_cast<IO::Location*>(resultData) = IO::Location::FromFileSystemPath(file);
    return NoError;
}

GSErrCode DwgTranslatorStandIn::Save(API_MDCLParameterList params) {
    const std::optional<std::string> fileUrl = Text(params, "FileName");
    const std::optional<std::string> configUrl = Text(params, "ConfigFile");
    if (!fileUrl || !configUrl) return APIERR_BADPARS;
    const std::optional<std::filesystem::path> file = PathOfFileUrl(*fileUrl);
    const std::optional<std::filesystem::path> config = PathOfFileUrl(*configUrl);
    // Only its own configuration is known to the translator, and only once it exists.
    const std::filesystem::path own = GetConfigurationFile();
    std::error_code error;
    if (!file || !config || config->lexically_normal() != own.lexically_normal() ||
        !std::filesystem::is_regular_file(own, error))
        return APIERR_BADPARS;
    if (!WritePlanDxf(*file, state.project)) return APIERR_GENERAL;
    state.savedFiles.push_back(file->string());
    transcript->Write(Line{{"saved", Line{{"file", file->string()},
                                          {"translator", "dwgTranslator"},
                                          {"footprints", CountPlanFootprints(state.project)}}}});
    return NoError;
}

} // namespace HostSim
