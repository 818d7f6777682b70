#include "ViewpointApplication.hpp"

#include "ElementIdentity.hpp"
#include "HostBinding/HostOperations.hpp"
#include "HostHandle.hpp"
#include "Main.hpp"
#include "ScriptArguments.hpp"

#include "GSException.hpp"
#include "MemoryManager.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

// The page's reading failed: a missing member or a value of the wrong kind.
struct Unreadable {};

GS::Ref<JS::Base> Member(const JS::Object& object, const char* name) {
    GS::Ref<JS::Base> value = object.GetItem(name);
    if (value == nullptr) throw Unreadable{};
    return value;
}

// Script integers and doubles; any other kind reads as 0.
double NumberOf(const GS::Ref<JS::Base>& value) {
    const GS::Ref<JS::Value> plain = GS::DynamicCast<JS::Value>(value);
    if (plain == nullptr) return 0.0;
    switch (plain->GetType()) {
    case JS::Value::INTEGER:
        return plain->GetInteger();
    case JS::Value::UINTEGER:
        return plain->GetUInteger();
    case JS::Value::DOUBLE:
        return plain->GetDouble();
    default:
        return 0.0;
    }
}

ViewpointVector PointOf(const GS::Ref<JS::Base>& value) {
    const GS::Ref<JS::Object> object = GS::DynamicCast<JS::Object>(value);
    if (object == nullptr) throw Unreadable{};
    return {NumberOf(Member(*object, "x")), NumberOf(Member(*object, "y")), NumberOf(Member(*object, "z"))};
}

ACSection SectionOf(const GS::Ref<JS::Base>& value, const SurveyTransformation& survey) {
    const GS::Ref<JS::Object> object = GS::DynamicCast<JS::Object>(value);
    if (object == nullptr) throw Unreadable{};
    ACSection section;
    section.location = survey.FromSurvey(PointOf(Member(*object, "location")));
    section.normal = Normalise(survey.RotateFromSurvey(Normalise(PointOf(Member(*object, "normal")))));
    return section;
}

ViewpointVector ModelReference() {
    const ModelReferenceCentre& centre = GetModelReferenceCentre();
    return {centre.x, centre.y, centre.z};
}

void ActivateThe3DWindow() {
    API_WindowInfo window;
    window.typeID = APIWind_3DModelID;
    (void)ACAPI_Window_ChangeWindow(&window); // the view is changed whichever window is in front
}

// Only perspective against parallel: the host keeps the camera.
void SwitchProjectionMode(bool perspective) {
    API_3DProjectionInfo projection;
    projection.isPersp = perspective;
    if (ACAPI_View_Change3DProjection(&projection, true) == NoError) ActivateThe3DWindow();
}

// Half the larger side of the 3D window; 0 when the host cannot say.
double HalfWindowSize() {
    API_3DWindowInfo window;
    if (ACAPI_View_Get3DWindowSets(&window) != NoError) return 0.0;
    return std::max(window.hSize, window.vSize) / 2.0;
}

// The scale shows at the viewpoint's location what the host's perspective view cone would show at the distance
// of the model reference centre, divided by cameraFactor. A scale that cannot be had leaves the window's mapping
// as it is; the zoom that follows keeps the view usable.
void SetParallelScaleAndPosition(const ViewpointData& viewpoint) {
    SwitchProjectionMode(true);
    double s0 = 0.0;
    API_3DProjectionInfo perspective;
    if (ACAPI_View_Get3DProjection(&perspective) == NoError) {
        s0 = PerspectiveEquivalentScale(HalfWindowSize(), perspective.persp.viewCone,
                                        Length(viewpoint.location - ModelReference()));
    }
    SwitchProjectionMode(false);

    const bool usableFactor = viewpoint.cameraFactor != 0.0 && std::isfinite(viewpoint.cameraFactor);
    const double scale = usableFactor ? s0 / viewpoint.cameraFactor : s0;
    if (!(scale > 0.0) || !std::isfinite(scale)) return;
    API_3DWindowInfo current;
    if (ACAPI_View_Get3DWindowSets(&current) != NoError) return;
    const double w = current.hSize;
    const double h = current.vSize;
    const ParallelAxes axes = GetParallelAxes(viewpoint.right, viewpoint.up);
    API_3DWindowInfo window;
    window.useScales = 1;
    window.hScale = scale;
    window.vScale = scale;
    window.xOffset = w / 2.0 - scale * Dot(axes.a, viewpoint.location);
    window.yOffset = -scale * Dot(axes.b, viewpoint.location) - h / 2.0;
    (void)ACAPI_View_Change3DWindowSets(&window); // refused, the window keeps its mapping and the zoom still follows
}

// What the 3D window shows is chosen through the selection, which the application replaces afterwards.
void ApplyVisibility(const ViewpointData& viewpoint) {
    const GS::Array<API_Guid> exceptions = ResolveGlobalIds(viewpoint.visibilityExceptions);
    if (exceptions.IsEmpty()) return;
    if (viewpoint.visibility) {
        // A refused selection change only shows more or fewer elements; the viewpoint applies all the same.
        (void)ACAPI_Selection_DeselectAll();
        GS::Array<API_Guid> all;
        if (ACAPI_Element_GetElemList(API_AnyElemTypeID, &all) == NoError && !all.IsEmpty())
            (void)ACAPI_Selection_Select(NeigsOf(all), true);
        (void)ACAPI_Selection_Select(NeigsOf(exceptions), false);
    } else {
        ReplaceSelection(exceptions);
    }
    (void)ACAPI_View_ShowSelectionIn3D(); // refused, the 3D window keeps showing everything
}

void ApplySections(const GS::Array<ACSection>& sections) {
    if (sections.IsEmpty()) return;
    API_3DCutPlanesInfo info;
    const GSErrCode read = ACAPI_View_Get3DCuttingPlanes(&info);
    BMKillHandle(&info.shapes);
    if (read != NoError) return;

    const auto count = static_cast<UInt16>(std::min<USize>(sections.GetSize(), std::numeric_limits<UInt16>::max()));
    info.isCutPlanes = true;
    info.nShapes = count;
    info.shapes = BMAllocateHandle(static_cast<GSSize>(count * sizeof(API_3DCutShapeType)), ALLOCATE_CLEAR, 0);
    // The host copies the shapes, so the list is released whether or not it took them.
    const HostHandleGuard shapes(info.shapes);
    if (info.shapes != nullptr) {
        auto* shape = reinterpret_cast<API_3DCutShapeType*>(*info.shapes);
        for (UInt16 i = 0; i < count; ++i) {
            const ACSection& section = sections[i];
            const double length = Length(section.normal);
            shape[i].cutStatus = 0;
            shape[i].cutPen = APICutShape_SectionPen;
            shape[i].cutMater = APICutShape_SectionMaterial;
            shape[i].pa = section.normal.x;
            shape[i].pb = section.normal.y;
            shape[i].pc = section.normal.z;
            shape[i].pd = length == 0.0 ? 0.0 : Dot(section.normal, section.location) / length;
        }
    }
    (void)ACAPI_View_Change3DCuttingPlanes(&info); // refused, the view stays without the sections
}

} // namespace

std::optional<ViewpointData> ReadViewpoint(const GS::Ref<JS::Base>& argument) {
    const GS::Ref<JS::Object> object = GS::DynamicCast<JS::Object>(argument);
    if (object == nullptr) return std::nullopt;
    try {
        ViewpointData viewpoint;
        Int32 cameraType = 0;
        if (!DecodeIntegerArgument(Member(*object, "cameraType"), &cameraType)) return std::nullopt;
        viewpoint.perspective = cameraType == 0;
        viewpoint.location = PointOf(Member(*object, "location"));
        viewpoint.direction = Normalise(PointOf(Member(*object, "direction")));
        viewpoint.up = Normalise(PointOf(Member(*object, "up")));

        const SurveyTransformation survey = SurveyTransformation::FromHost();
        viewpoint.location = survey.FromSurvey(viewpoint.location);
        viewpoint.direction = Normalise(survey.RotateFromSurvey(viewpoint.direction));
        viewpoint.up = Normalise(survey.RotateFromSurvey(viewpoint.up));
        viewpoint.right = Cross(viewpoint.direction, viewpoint.up);

        viewpoint.cameraFactor = NumberOf(Member(*object, "cameraFactor"));
        if (!DecodeBoolArgument(Member(*object, "visibility"), &viewpoint.visibility)) return std::nullopt;
        viewpoint.selectedGlobalIds = DecodeStringListArgument(Member(*object, "selectedGlobalIds"));
        viewpoint.visibilityExceptions = DecodeStringListArgument(Member(*object, "visbilityExceptionGlobalIds"));

        const GS::Ref<JS::Base> sections = Member(*object, "sections");
        if (const GS::Ref<JS::Array> list = GS::DynamicCast<JS::Array>(sections); list != nullptr) {
            for (const GS::Ref<JS::Base>& item : list->GetItemArray())
                viewpoint.sections.Push(SectionOf(item, survey));
        } else {
            viewpoint.sections.Push(SectionOf(sections, survey));
        }
        return viewpoint;
    } catch (const Unreadable&) {
        return std::nullopt;
    } catch (const GS::ClassCastException&) {
        // A list or object where a plain value belongs, e.g. element descriptors instead of GlobalIds.
        return std::nullopt;
    }
}

void ApplyViewpoint(const ViewpointData& viewpoint) {
    API_3DProjectionInfo projection;
    if (viewpoint.perspective) {
        double distance = Length(viewpoint.location - ModelReference());
        // A camera standing on the reference centre would look at itself.
        if (distance == 0.0 || !std::isfinite(distance)) distance = 1.0;
        const ViewpointVector target = viewpoint.location + distance * viewpoint.direction;
        projection.isPersp = true;
        projection.persp.viewCone = viewpoint.cameraFactor;
        projection.persp.distance = distance;
        projection.persp.pos = {viewpoint.location.x, viewpoint.location.y};
        projection.persp.cameraZ = viewpoint.location.z;
        projection.persp.target = {target.x, target.y};
        projection.persp.targetZ = target.z;
    } else {
        projection.isPersp = false;
        double* m = projection.axono.tranmat.tmx;
        const ViewpointVector rows[3] = {viewpoint.right, viewpoint.up, viewpoint.direction};
        for (int row = 0; row < 3; ++row) {
            m[row * 4 + 0] = rows[row].x;
            m[row * 4 + 1] = rows[row].y;
            m[row * 4 + 2] = rows[row].z;
        }
    }
    // Refused, the rest of the viewpoint still applies to the camera the host has.
    (void)ACAPI_View_Change3DProjection(&projection);
    if (ACAPI_View_ShowAllIn3D() != NoError) return;
    if (!viewpoint.perspective) {
        SetParallelScaleAndPosition(viewpoint);
        (void)ACAPI_View_Zoom(); // unzoomed, the view stays as the mapping above left it
    }
    ApplyVisibility(viewpoint);
    ReplaceSelection(ResolveGlobalIds(viewpoint.selectedGlobalIds));
    ApplySections(viewpoint.sections);
    ActivateThe3DWindow();
}

GS::Ref<JS::Base> SelectViewpoint(const GS::Ref<JS::Base>& argument) {
    const std::optional<ViewpointData> viewpoint = ReadViewpoint(argument);
    if (!viewpoint) return MakeBoolResult(false);
    ApplyViewpoint(*viewpoint);
    return MakeBoolResult(true);
}
