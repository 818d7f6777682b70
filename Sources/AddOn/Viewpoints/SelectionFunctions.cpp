#include "SelectionFunctions.hpp"

#include "ElementIdentity.hpp"
#include "HostBinding/HostOperations.hpp"
#include "HostHandle.hpp"
#include "QuillmarPalette.hpp"
#include "ScriptArguments.hpp"

namespace {

// Switches the 3D cutting planes off and brings the 3D window forward when they were on.
void SwitchCuttingPlanesOff() {
    API_3DCutPlanesInfo planes;
    const HostHandleGuard shapes(planes.shapes);
    if (ACAPI_View_Get3DCuttingPlanes(&planes) != NoError) return;
    if (!planes.isCutPlanes) return;
    planes.isCutPlanes = false;
    if (ACAPI_View_Change3DCuttingPlanes(&planes) != NoError) return;
    API_WindowInfo window;
    window.typeID = APIWind_3DModelID;
    // The planes are off whichever window stays in front.
    (void)ACAPI_Window_ChangeWindow(&window);
}

} // namespace

GS::Ref<JS::Base> GetElementNames(const GS::Ref<JS::Base>& argument) {
    const GS::Array<GS::UniString> globalIds = DecodeStringListArgument(argument);
    GS::Array<GS::UniString> descriptors;
    descriptors.SetCapacity(globalIds.GetSize());
    GS::Array<GS::UniString> unresolved;
    // Each element is described right after it is found, while the host still has it at hand; the unresolved
    // GlobalIds follow the elements, as when all are resolved first.
    for (const GS::UniString& globalId : globalIds) {
        const API_Guid element = ResolveGlobalId(globalId);
        if (element != APINULLGuid) {
            descriptors.Push(DescribeElement(element));
        } else {
            unresolved.Push(globalId);
        }
    }
    for (const GS::UniString& globalId : unresolved)
        descriptors.Push(MakeElementDescriptor(globalId, GS::UniString()));
    return MakeStringListResult(std::move(descriptors));
}

GS::Ref<JS::Base> GetSelectedElements(const GS::Ref<JS::Base>&) {
    return MakeStringListResult(SelectedDescriptors());
}

GS::Ref<JS::Base> HighlightElements(const GS::Ref<JS::Base>& argument) {
    const GS::Array<API_Guid> elements = ResolveGlobalIds(DecodeStringListArgument(argument));
    SwitchCuttingPlanesOff();
    ReplaceSelection(elements);
    return MakeBoolResult(true);
}

GS::Ref<JS::Base> ZoomToElement(const GS::Ref<JS::Base>& argument) {
    const GS::Array<API_Guid> elements = ResolveGlobalIds(DecodeStringListArgument(argument));
    if (elements.GetSize() != 1) return MakeBoolResult(false);
    return MakeBoolResult(ACAPI_View_ZoomToElements(&elements) == NoError);
}

GS::Ref<JS::Base> AddComponent(const GS::Ref<JS::Base>& argument) {
    bool tracking = false;
    if (DecodeBoolArgument(argument, &tracking) && QuillmarPalette::HasInstance())
        QuillmarPalette::GetInstance().SetSelectionTracking(tracking);
    return MakeBoolResult(true);
}
