#ifndef QUILLMAR_IFCEXPORT_HPP
#define QUILLMAR_IFCEXPORT_HPP

#include "JSValues.hpp"
#include "Ref.hpp"

// Script functions of the IFC export. [main-thread]

// Writes the project as IFC into the exchange folder (with the mapping preset when asked) and starts its upload
// job on the thread "exportModel". Failures before the job starts run "FailExportModel()"; the job reports the rest.
// Always true.
GS::Ref<JS::Base> ExportIFCModel(const GS::Ref<JS::Base>& argument);
// The service's answer to the last IFC upload ("" when there was none).
GS::Ref<JS::Base> GetIfcDocuments(const GS::Ref<JS::Base>& argument);

#endif
