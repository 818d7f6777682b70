#ifndef QUILLMAR_MAPPING_MAPPINGEXPORTPRESET_HPP
#define QUILLMAR_MAPPING_MAPPINGEXPORTPRESET_HPP

class MappingState;

// [main-thread] Installs the palette's mapping list as the property-mapping export preset of the host's IFC
// add-on: the preset is created anew ('HAPR', 'CLPR', 'CRPR'), then the mappings are added ('AEPM'). Nothing is
// reported: a failing host query ends the installation silently and the IFC export goes on.
void InstallMappingExportPreset(const MappingState& mapping);

#endif
