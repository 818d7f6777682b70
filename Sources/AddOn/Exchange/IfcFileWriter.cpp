#include "IfcFileWriter.hpp"

#include "ExchangeFolder.hpp"
#include "HostBinding/HostOperations.hpp"
#include "HostHandle.hpp"

namespace {

// Releases the translator handles the host's list handed over.
class TranslatorListGuard {
public:
    explicit TranslatorListGuard(GS::Array<API_IFCTranslatorIdentifier>& translators) : translators(translators) {}
    ~TranslatorListGuard() {
        for (API_IFCTranslatorIdentifier& translator : translators)
            BMKillHandle(&translator.innerReference);
    }
    TranslatorListGuard(const TranslatorListGuard&) = delete;
    TranslatorListGuard& operator=(const TranslatorListGuard&) = delete;

private:
    GS::Array<API_IFCTranslatorIdentifier>& translators;
};

} // namespace

GS::UniString WriteProjectAsIfc(const GS::UniString& fileName, bool onlyVisible) {
    // The list is asked for in every case; only a successful one with onlyVisible narrows the export.
    GS::Array<API_Guid> shownElements;
    const bool listed = ACAPI_Element_GetElemList(API_AnyElemTypeID, &shownElements, APIFilt_In3D) == NoError;

    GS::Array<API_IFCTranslatorIdentifier> translators;
    const TranslatorListGuard translatorHandles(translators);
    if (ACAPI_IFC_GetIFCExportTranslatorsList(translators) != NoError || translators.IsEmpty()) return GS::UniString();

    API_SavePars_Ifc ifcParams;
    const HostHandleGuard translatorCopy(ifcParams.translatorIdentifier.innerReference);
    if (ACAPI_HandleToHandle(translators[0].innerReference, &ifcParams.translatorIdentifier.innerReference) !=
        NoError) {
        return GS::UniString();
    }
    ifcParams.translatorIdentifier.name = translators[0].name;
    if (onlyVisible && listed) {
        ifcParams.elementsToIfcExport = API_IFCExportElementList;
        ifcParams.elementsSet = &shownElements;
    } else {
        ifcParams.elementsToIfcExport = API_IFCExportEntireProject;
        ifcParams.elementsSet = nullptr;
    }

    API_FileSavePars saveParams;
    saveParams.fileTypeID = APIFType_IfcFile;
    return SaveIntoExchangeFolder(fileName, saveParams, &ifcParams);
}
