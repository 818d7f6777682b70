#include "PlanFile.hpp"

#include "ExchangeFolder.hpp"
#include "HostBinding/HostOperations.hpp"
#include "HostBinding/MDCLParams.hpp"
#include "ProjectBox.hpp"

#include "CH.hpp"
#include "GSException.hpp"
#include "Location.hpp"

#include <algorithm>
#include <cmath>

namespace {

// The host's DWG translator add-on and its commands.
constexpr API_ModulID DwgTranslator{0x47732F64, 0x4ED650A5};
constexpr UInt32 GetDefaultConfiguration = API_FourCharCode("GDCO");
constexpr UInt32 SaveDrawing = API_FourCharCode("SAV2");
constexpr Int32 DwgCommandVersion = 1;
constexpr Int32 UrlBufferSize = 512;

// Picture and paper settings of the plan files.
constexpr float PdfMargin = 10.0f;
constexpr float PointsPerMetre = 2000.0f;
constexpr float PaperAllowance = 20.0f;

struct UrlText {
    char text[UrlBufferSize] = {};
};

std::optional<UrlText> ToUrlText(const IO::Location& location) {
    GS::UniString url;
    if (location.ToURL(&url) != NoError) return std::nullopt;
    UrlText result;
    CHTruncate(url.ToCStr().Get(), result.text, UrlBufferSize, CC_Default);
    return result;
}

GS::UniString PathOf(const IO::Location& location) {
    GS::UniString path;
    if (location.ToPath(&path) != NoError) return GS::UniString();
    return path;
}

GS::UniString WriteDwg(const GS::UniString& stamp) {
    // A second plan of the same second gets a name of its own rather than the first one's file.
    const std::optional<IO::Location> target = NewExchangeFile(stamp + ".dwg", ExistingFile::KeepBoth);
    if (!target) return GS::UniString();

    IO::Location configuration;
    {
        GSAPI::MDCLParams params;
        if (params.SetCString("Mode", "Default") != NoError) return GS::UniString();
        IO::Location defaultConfiguration;
        if (ACAPI_AddOnAddOnCommunication_Call(&DwgTranslator, GetDefaultConfiguration, DwgCommandVersion,
                                               params.GetHandle(), &defaultConfiguration, true) != NoError)
            return GS::UniString();
        GS::UniString display;
        if (defaultConfiguration.ToDisplayText(&display) != NoError || configuration.Set(display) != NoError)
            return GS::UniString();
    }
    if (!configuration.IsLegalInNativeFileSystem()) return GS::UniString();

    GSAPI::MDCLParams params;
    const std::optional<UrlText> fileName = ToUrlText(*target);
    const std::optional<UrlText> configFile = ToUrlText(configuration);
    if (!fileName || !configFile || params.SetCString("FileName", fileName->text) != NoError ||
        params.SetCString("ConfigFile", configFile->text) != NoError)
        return GS::UniString();
    if (ACAPI_AddOnAddOnCommunication_Call(&DwgTranslator, SaveDrawing, DwgCommandVersion, params.GetHandle(), nullptr,
                                           true) != NoError)
        return GS::UniString();
    return PathOf(*target);
}

GS::UniString WritePicture(const GS::UniString& stamp, PlanKind kind, bool view2D) {
    API_FileSavePars saveParams;
    saveParams.fileTypeID = kind == PlanKind::Png ? APIFType_PNGFile : APIFType_JPGFile;
    API_SavePars_Picture pictureParams;
    pictureParams.colorDepth = kind == PlanKind::Png ? APIColorDepth_TC32 : APIColorDepth_TC24;
    pictureParams.dithered = 0;
    pictureParams.view2D = view2D ? 1 : 0;
    pictureParams.crop = 1;
    pictureParams.keepSelectionHighlight = 1;
    return SaveIntoExchangeFolder(stamp + (kind == PlanKind::Png ? ".png" : ".jpg"), saveParams, &pictureParams,
                                  ExistingFile::KeepBoth);
}

GS::UniString WritePdf(const GS::UniString& stamp) {
    const std::optional<PaperSize> paper = ComputePdfPaperSize(ComputeProjectBox());
    if (!paper) return GS::UniString(); // never hand the host a paper it cannot have
    API_FileSavePars saveParams;
    saveParams.fileTypeID = APIFType_PdfFile;
    API_SavePars_Pdf pdfParams;
    pdfParams.leftMargin = PdfMargin;
    pdfParams.topMargin = PdfMargin;
    pdfParams.rightMargin = PdfMargin;
    pdfParams.bottomMargin = PdfMargin;
    pdfParams.sizeX = paper->width;
    pdfParams.sizeY = paper->height;
    return SaveIntoExchangeFolder(stamp + ".pdf", saveParams, &pdfParams, ExistingFile::KeepBoth);
}

} // namespace

std::optional<PlanKind> ToPlanKind(Int32 number) noexcept {
    if (number < static_cast<Int32>(PlanKind::Dwg) || number > static_cast<Int32>(PlanKind::Pdf)) return std::nullopt;
    return static_cast<PlanKind>(number);
}

std::optional<PaperSize> ComputePdfPaperSize(const API_Box3D& box) noexcept {
    const float spanX = static_cast<float>(box.xMax - std::min(0.0, box.xMin));
    const float spanY = static_cast<float>(box.yMax - std::min(0.0, box.yMin));
    const PaperSize paper{spanX * PointsPerMetre + PaperAllowance, spanY * PointsPerMetre + PaperAllowance};
    if (!std::isfinite(paper.width) || !std::isfinite(paper.height) || paper.width <= 0.0f || paper.height <= 0.0f)
        return std::nullopt;
    return paper;
}

GS::UniString WritePlanFile(PlanKind kind, const GS::UniString& stamp, bool view2D) {
    try {
        switch (kind) {
        case PlanKind::Dwg:
            return WriteDwg(stamp);
        case PlanKind::Png:
        case PlanKind::Jpg:
            return WritePicture(stamp, kind, view2D);
        case PlanKind::Pdf:
            return WritePdf(stamp);
        }
    } catch (const GS::Exception&) {
        // The host's classes refused something on the way: no plan.
    }
    return GS::UniString();
}
