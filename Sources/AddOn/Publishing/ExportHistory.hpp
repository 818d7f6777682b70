#ifndef QUILLMAR_PUBLISHING_EXPORTHISTORY_HPP
#define QUILLMAR_PUBLISHING_EXPORTHISTORY_HPP

#include "JSValues.hpp"
#include "Ref.hpp"

// The page's export histories, kept per service project and kind in "<projectId>.his" files of the data subfolders
// "Export Model History" and "Export Other History": exactly the page's text in the default character code.
// [main-thread] Without a palette nothing is done (true, or ""). A "projectId" that is no plain file name reads and
// writes nothing.

// {"projectId", "data", "isModel"}: replaces the file whole (a failed save keeps the earlier history). True.
GS::Ref<JS::Base> SaveExportHistoryData(const GS::Ref<JS::Base>& argument);
// {"projectId", "model"}: the stored text; "" for every miss.
GS::Ref<JS::Base> GetExportHistory(const GS::Ref<JS::Base>& argument);

#endif
