#include "DGAlert.hpp"

#include "DGUIBackEnd.hpp"

namespace DG {

short InformationAlert(const GS::UniString& largeText, const GS::UniString& smallText, const GS::UniString& button1,
                       const GS::UniString& button2, const GS::UniString& button3) {
    UIBackEnd* backEnd = GetUIBackEnd();
    if (backEnd == nullptr) return 1;
    return backEnd->ShowAlert(AlertKind::Information, largeText, smallText, button1, button2, button3);
}

} // namespace DG
