#include "PaletteControl.hpp"

#include "HostBinding/HostOperations.hpp"
#include "QuillmarPalette.hpp"

GSErrCode RegisterPaletteControl() {
    API_PaletteRegistration registration;
    registration.referenceID = GetPaletteReferenceNumber();
    registration.callback = PaletteControlCallback;
    registration.enableFlags = PaletteEnableFlags;
    registration.paletteGuid = GSGuid2APIGuid(GetPaletteGuid());
    return ACAPI_RegisterModelessWindow(registration);
}

GSErrCode PaletteControlCallback(Int32, API_PaletteMessageID messageID, std::intptr_t param) {
    const bool exists = QuillmarPalette::HasInstance();
    switch (messageID) {
    case APIPalMsg_ClosePalette:
        if (exists) QuillmarPalette::GetInstance().HidePalette();
        break;
    case APIPalMsg_HidePalette_Begin:
        if (exists && QuillmarPalette::GetInstance().IsVisible()) QuillmarPalette::GetInstance().HidePalette();
        break;
    case APIPalMsg_HidePalette_End:
        if (exists && !QuillmarPalette::GetInstance().IsVisible()) QuillmarPalette::GetInstance().ShowPalette();
        break;
    case APIPalMsg_DisableItems_Begin:
        if (exists && QuillmarPalette::GetInstance().IsVisible()) QuillmarPalette::GetInstance().DisableItems();
        break;
    case APIPalMsg_DisableItems_End:
        if (exists && QuillmarPalette::GetInstance().IsVisible()) QuillmarPalette::GetInstance().EnableItems();
        break;
    case APIPalMsg_OpenPalette:
        if (!exists) QuillmarPalette::CreateInstance();
        QuillmarPalette::GetInstance().ShowPalette();
        break;
    case APIPalMsg_IsPaletteVisible:
        if (param != 0) *reinterpret_cast<bool*>(param) = exists && QuillmarPalette::GetInstance().IsVisible();
        break;
    default:
        break;
    }
    return NoError;
}
