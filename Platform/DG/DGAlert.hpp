#ifndef DG_ALERT_HPP
#define DG_ALERT_HPP

#include "DGExport.hpp"

#include "UniString.hpp"

namespace DG {

// Shows a modal information alert and returns the 1-based index of the button that closed it.
// An empty button text means no such button. [main-thread]
DG_DLL_EXPORT short InformationAlert(const GS::UniString& largeText, const GS::UniString& smallText,
                                     const GS::UniString& button1, const GS::UniString& button2 = GS::UniString(),
                                     const GS::UniString& button3 = GS::UniString());

} // namespace DG

#endif
