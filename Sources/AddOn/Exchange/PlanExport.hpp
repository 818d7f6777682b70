#ifndef QUILLMAR_EXCHANGE_PLANEXPORT_HPP
#define QUILLMAR_EXCHANGE_PLANEXPORT_HPP

#include "JSValues.hpp"
#include "Ref.hpp"

// Script functions of the 2D plans. [main-thread]

// Writes the current 2D view into the exchange folder under a time-stamped name: 1 DWG (through the host's DWG
// translator), 2 PNG, 3 JPG, 4 PDF. Returns the file's path; "" (after an alert) in the 3D window, for another
// kind or argument, or when the file cannot be made.
GS::Ref<JS::Base> Create2dPlan(const GS::Ref<JS::Base>& argument);
// Renames the last plan file to the page's "fileName" (folder and extension kept) and starts its upload job on the
// thread "exportPlan". Failures before the job starts run "FailExportPlan()"; the job reports the rest. Always true.
GS::Ref<JS::Base> Export2dPlan(const GS::Ref<JS::Base>& argument);
// The service's answer to the last plan upload ("" when there was none).
GS::Ref<JS::Base> GetPlanDocuments(const GS::Ref<JS::Base>& argument);

#endif
