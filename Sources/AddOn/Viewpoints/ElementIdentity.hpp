#ifndef QUILLMAR_ELEMENTIDENTITY_HPP
#define QUILLMAR_ELEMENTIDENTITY_HPP

#include "APIDefinitions.hpp"
#include "Array.hpp"
#include "UniString.hpp"

#include <string>

// Mapping between the page's IFC GlobalIds and the host's element GUIDs, and the element descriptors the page
// receives ({"ifcGuid", "name"}). Every lookup asks the host afresh: nothing is cached. Host errors count as
// "not found" and are never reported. [main-thread]

// The element the GlobalId names; the null GUID when none.
API_Guid ResolveGlobalId(const GS::UniString& globalId);
// The elements the GlobalIds name, in order; GlobalIds naming none are left out (and collected when asked).
GS::Array<API_Guid> ResolveGlobalIds(const GS::Array<GS::UniString>& globalIds,
                                     GS::Array<GS::UniString>* unresolved = nullptr);
// The descriptor of an element: its GlobalId (the one kept from an imported IFC file first) and its element ID.
GS::UniString DescribeElement(const API_Guid& element);
// The descriptor text {"ifcGuid": globalId, "name": name}; an empty name becomes the GlobalId.
GS::UniString MakeElementDescriptor(const GS::UniString& globalId, const GS::UniString& name);
// The same texts appended to `out`, for lists written into one text.
void AppendElementDescription(std::u16string& out, const API_Guid& element);
void AppendElementDescriptor(std::u16string& out, const GS::UniString& globalId, const GS::UniString& name);
// The host's selection entries for the elements, in order.
GS::Array<API_Neig> NeigsOf(const GS::Array<API_Guid>& elements);
// The descriptors of the selected elements, in the host's order; none when the selection cannot be read.
GS::Array<GS::UniString> SelectedDescriptors();
// Makes the given elements the host's whole selection.
void ReplaceSelection(const GS::Array<API_Guid>& elements);

#endif
