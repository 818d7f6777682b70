#include "FrameFunctions.hpp"

#include "BuildConfig.hpp"
#include "HostBinding/HostOperations.hpp"
#include "HostEnvironment.hpp"
#include "ScriptArguments.hpp"

#include "DGAlert.hpp"

namespace {

constexpr const char* HostGeneration = "29";

} // namespace

GS::Ref<JS::Base> GetResourceFolder(const GS::Ref<JS::Base>&) {
    return MakeStringResult(GetDataSubfolder("resources"));
}

GS::Ref<JS::Base> AlertAPI(const GS::Ref<JS::Base>& argument) {
    const GS::UniString text = DecodeStringArgument(argument);
    DG::InformationAlert(text, GS::UniString(), "OK");
    return MakeBoolResult(true);
}

GS::Ref<JS::Base> RequestFileName(const GS::Ref<JS::Base>&) {
    API_ProjectInfo info;
    if (ACAPI_ProjectOperation_Project(&info) != NoError) return MakeStringResult(GS::UniString());
    if (info.untitled) return MakeStringResult("Untitled");
    return MakeStringResult(info.projectName);
}

GS::Ref<JS::Base> GetApplicationInfo(const GS::Ref<JS::Base>&) {
    const GS::UniString info = GS::UniString(IsGermanLanguage() ? "de" : "en") + "," + ApiBaseURL + "/" + "," +
                               ApplicationVersion + "," + HostGeneration;
    return MakeStringResult(info);
}
