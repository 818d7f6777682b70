#ifndef QUILLMAR_IFCIMPORT_HPP
#define QUILLMAR_IFCIMPORT_HPP

#include "JSValues.hpp"
#include "Ref.hpp"
#include "UniString.hpp"

class ExchangeState;

// Script functions that bring the service's models into the host, and one that gives the open project as IFC text.
// [main-thread] Each does nothing without a palette and still answers (true, or "" for GetIfcFile). Names that the
// page gives become file names only when they are plain names: nothing is ever written, downloaded or opened
// outside the add-on's "resources" folder.

// Keeps the file name the next ImportIfcModel writes. True.
GS::Ref<JS::Base> RegisterIfcFileName(const GS::Ref<JS::Base>& argument);
// Writes the IFC text into the "resources" folder under the registered name (whole, or not at all) and opens it
// as the project. True.
GS::Ref<JS::Base> ImportIfcModel(const GS::Ref<JS::Base>& argument);
// {"token", "modelInfos": [{"id", "name", "version", "extension"}]}: one download job per model into
// "<name>-V<version>.<extension>", a watcher that reports "CompleteImportModels()"; with nothing to download the
// report comes at once. True.
GS::Ref<JS::Base> ImportIfcFiles(const GS::Ref<JS::Base>& argument);
// Opens the downloaded models one after the other and merges the elements of all but the last into the last. True.
GS::Ref<JS::Base> OpenIfcModels(const GS::Ref<JS::Base>& argument);
// Exports the whole project as "<name>.ifc" into the exchange folder and answers its text; "" on any failure.
GS::Ref<JS::Base> GetIfcFile(const GS::Ref<JS::Base>& argument);

// The palette's open-and-merge run over the import list (emptied afterwards).
void OpenAndMergeIfcFiles(ExchangeState& exchange);

#endif
