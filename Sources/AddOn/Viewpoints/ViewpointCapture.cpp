#include "ViewpointCapture.hpp"

#include "ElementIdentity.hpp"
#include "HostBinding/HostOperations.hpp"
#include "HostHandle.hpp"
#include "Main.hpp"
#include "QuillmarPalette.hpp"
#include "ScriptArguments.hpp"
#include "ViewpointData.hpp"
#include "ViewpointState.hpp"

#include "File.hpp"
#include "JDOMStringWriter.hpp"
#include "JSONValues.hpp"
#include "Location.hpp"
#include "ValueToString.hpp"

#include <openssl/evp.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <limits>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace {

// A number the page's JSON parser reads: the host's shortest text, 0 for what JSON cannot hold.
GS::UniString NumberText(double value) {
    return GS::valuetostr(std::isfinite(value) ? value : 0.0);
}

// A JSON string literal of the text, escaped as JSON requires (image ids come from the service).
GS::UniString StringText(const GS::UniString& text) {
    JSON::JDOMStringWriter writer(false, 10);
    writer.Write(GS::NewRef<JSON::StringValue>(text));
    return writer.GetString();
}

GS::UniString PointText(const ViewpointVector& v) {
    return "{\"x\":" + NumberText(v.x) + ",\"y\":" + NumberText(v.y) + ",\"z\":" + NumberText(v.z) + "}";
}

// Opens a member of the object being written: the key, and a comma before all but the first.
void AppendKey(std::u16string* text, std::string_view key) {
    if (text->size() > 1) *text += u',';
    *text += u'"';
    text->append(key.begin(), key.end());
    text->append(u"\":");
}

void AppendMember(std::u16string* text, std::string_view key, const GS::UniString& value) {
    AppendKey(text, key);
    text->append(value.ToU16String());
}

GS::UniString ListText(const GS::Array<GS::UniString>& descriptors) {
    GS::UniString text("[");
    for (UIndex i = 0; i < descriptors.GetSize(); ++i) {
        if (i > 0) text += ",";
        text += descriptors[i];
    }
    text += "]";
    return text;
}

ViewpointVector ToVector(double x, double y, double z) {
    return {x, y, z};
}

double Finite(double value) {
    return std::isfinite(value) ? value : 0.0;
}

void FillPerspectiveCamera(const API_PerspPars& persp, ViewpointData* viewpoint) {
    const SurveyTransformation survey = SurveyTransformation::FromHost();
    const ViewpointVector camera = survey.ToSurvey(ToVector(persp.pos.x, persp.pos.y, persp.cameraZ));
    const ViewpointVector target = survey.ToSurvey(ToVector(persp.target.x, persp.target.y, persp.targetZ));
    const ViewpointVector direction = Normalise(target - camera);
    const ViewpointVector right = Normalise(Cross({0.0, 0.0, 1.0}, direction));
    viewpoint->location = camera;
    viewpoint->direction = direction;
    viewpoint->right = right;
    viewpoint->up = Normalise(Cross(direction, right));
    viewpoint->cameraFactor = persp.viewCone;
}

// A parallel view carries no camera position; choose one, and a scale divisor, from which the application of the
// viewpoint computes the window's present scale and offsets again. Where the host's mapping cannot be inverted the
// camera stands in front of the model reference centre with divisor 1, which still gives a usable view.
void FillParallelCamera(const API_3DProjectionInfo& projection, ViewpointData* viewpoint) {
    const double* m = projection.axono.tranmat.tmx;
    const ViewpointVector right{m[0], m[1], m[2]};
    const ViewpointVector up{m[4], m[5], m[6]};
    const ViewpointVector direction{m[8], m[9], m[10]};
    const ModelReferenceCentre& reference = GetModelReferenceCentre();
    const ViewpointVector centre{reference.x, reference.y, reference.z};
    // Without a usable mapping: in front of the centre, at the perspective camera's distance.
    const double standOff = std::max(projection.persp.distance, 1.0);

    // The application recomputes right as direction x up and reads the orientation back in model terms.
    const ParallelAxes axes = GetParallelAxes(Cross(Normalise(direction), Normalise(up)), Normalise(up));
    ViewpointVector location = centre - standOff * Normalise(direction);
    double cameraFactor = 1.0;

    API_3DWindowInfo window;
    const ViewpointVector normal = Cross(axes.a, axes.b);
    const double det = Dot(normal, normal);
    if (ACAPI_View_Get3DWindowSets(&window) == NoError && window.useScales != 0 && window.hScale > 0.0 &&
        std::isfinite(window.hScale) && det > 1e-12) {
        const double scale = window.hScale;
        const double w = window.hSize;
        const double h = window.vSize;
        // a.L = p and b.L = q reproduce the offsets.
        const double p = (w / 2.0 - window.xOffset) / scale;
        const double q = (-h / 2.0 - window.yOffset) / scale;
        const double aa = Dot(axes.a, axes.a);
        const double ab = Dot(axes.a, axes.b);
        const double bb = Dot(axes.b, axes.b);
        const double alpha = (bb * p - ab * q) / det;
        const double beta = (aa * q - ab * p) / det;
        const ViewpointVector base = alpha * axes.a + beta * axes.b;
        // Every point base + t.(a x b) gives the offsets; take the one in front of the view at the distance from
        // the reference centre at which the host's view cone gives the present scale, so that the divisor is 1
        // and the same view always gives the same viewpoint.
        const ViewpointVector closest = base + (Dot(centre - base, normal) / det) * normal;
        const double halfSize = std::max(w, h) / 2.0;
        const double matchingDistance = PerspectiveEquivalentScale(halfSize, projection.persp.viewCone, 1.0) / scale;
        if (matchingDistance > 0.0) {
            const double offCentre = Length(closest - centre);
            ViewpointVector candidate = closest;
            if (matchingDistance > offCentre) {
                ViewpointVector along =
                    (std::sqrt(matchingDistance * matchingDistance - offCentre * offCentre) / std::sqrt(det)) * normal;
                if (Dot(along, direction) > 0.0) along = -1.0 * along;
                candidate = closest + along;
            }
            const double s0 =
                PerspectiveEquivalentScale(halfSize, projection.persp.viewCone, Length(candidate - centre));
            if (s0 > 0.0) {
                location = candidate;
                cameraFactor = s0 / scale;
            }
        }
    }
    // Written in survey terms, as the application reads them.
    const SurveyTransformation survey = SurveyTransformation::FromHost();
    viewpoint->location = survey.ToSurvey(location);
    viewpoint->direction = Normalise(survey.RotateToSurvey(direction));
    viewpoint->up = Normalise(survey.RotateToSurvey(up));
    viewpoint->right = Normalise(survey.RotateToSurvey(right));
    viewpoint->cameraFactor = cameraFactor;
}

// The "visibility" and "visbilityExceptionGlobalIds" members, or nothing when the element list cannot be had.
void AppendVisibility(std::u16string* text) {
    GS::Array<API_Guid> elements;
    if (ACAPI_Element_GetElemList(API_AnyElemTypeID, &elements) != NoError) return;
    GS::Array<API_Guid> shown;
    GS::Array<API_Guid> hidden;
    for (const API_Guid& element : elements) {
        if (ACAPI_Element_Filter(element, APIFilt_In3D)) {
            shown.Push(element);
        } else {
            hidden.Push(element);
        }
    }
    const bool visibility = shown.GetSize() > hidden.GetSize();
    AppendMember(text, "visibility", GS::valuetostr(Int32{visibility ? 1 : 0}));
    // The descriptors go straight into the text: a third of a large model can be named here.
    AppendKey(text, "visbilityExceptionGlobalIds");
    *text += u'[';
    bool first = true;
    for (const API_Guid& element : visibility ? hidden : shown) {
        if (!first) *text += u',';
        first = false;
        AppendElementDescription(*text, element);
    }
    *text += u']';
}

JSON::ValueRef PointValue(const ViewpointVector& v) {
    const auto point = GS::NewRef<JSON::ObjectValue>();
    point->Add("x", Finite(v.x));
    point->Add("y", Finite(v.y));
    point->Add("z", Finite(v.z));
    return point;
}

GS::Array<ACSection> ReadSections() {
    GS::Array<ACSection> sections;
    API_3DCutPlanesInfo info;
    const GSErrCode read = ACAPI_View_Get3DCuttingPlanes(&info);
    const HostHandleGuard shapes(info.shapes);
    if (read != NoError || !info.isCutPlanes || info.nShapes == 0 || info.shapes == nullptr) return sections;
    const std::size_t available = static_cast<std::size_t>(BMGetHandleSize(info.shapes)) / sizeof(API_3DCutShapeType);
    const SurveyTransformation survey = SurveyTransformation::FromHost();
    const auto* shape = reinterpret_cast<const API_3DCutShapeType*>(*info.shapes);
    for (std::size_t i = 0; i < info.nShapes && i < available; ++i) {
        const ViewpointVector n = Normalise({shape[i].pa, shape[i].pb, shape[i].pc});
        ACSection section;
        section.location = survey.ToSurvey(shape[i].pd * n);
        section.normal = Normalise(survey.RotateToSurvey(n));
        sections.Push(section);
    }
    return sections;
}

GS::UniString SectionsText(const GS::Array<ACSection>& sections) {
    const auto array = GS::NewRef<JSON::ArrayValue>();
    for (const ACSection& section : sections) {
        const auto item = GS::NewRef<JSON::ObjectValue>();
        item->Add("location", PointValue(section.location));
        item->Add("normal", PointValue(section.normal));
        array->Add(item);
    }
    JSON::JDOMStringWriter writer(false, 10);
    writer.Write(array);
    return writer.GetString();
}

std::u16string ViewpointText(const ViewpointData& viewpoint) {
    std::u16string text(u"{");
    AppendMember(&text, "cameraType", GS::valuetostr(Int32{viewpoint.perspective ? 0 : 1}));
    AppendMember(&text, "location", PointText(viewpoint.location));
    AppendMember(&text, "direction", PointText(viewpoint.direction));
    AppendMember(&text, "up", PointText(viewpoint.up));
    AppendMember(&text, "cameraFactor", NumberText(viewpoint.cameraFactor));
    AppendMember(&text, "imageId", StringText(viewpoint.imageId));
    AppendMember(&text, "creatingTool", StringText(viewpoint.creatingTool));
    AppendMember(&text, "selectedGlobalIds", ListText(SelectedDescriptors()));
    AppendVisibility(&text);
    AppendMember(&text, "sections", SectionsText(ReadSections()));
    text += u'}';
    return text;
}

} // namespace

GS::UniString EncodeSnapshotFile(const GS::UniString& path) {
    IO::File file{IO::Location(path)};
    UInt64 length = 0;
    if (file.GetStatus() != NoError || file.Open(IO::File::ReadMode) != NoError ||
        file.GetDataLength(&length) != NoError || length == 0 || length > std::numeric_limits<int>::max() / 2)
        return GS::UniString();

    // Read, encoded and widened a chunk at a time straight into the text of the final size: no buffer of the
    // whole file, none zero-filled, no copy of the text. Chunks hold whole groups of three bytes.
    constexpr std::size_t ChunkBytes = 3 * 64 * 1024;
    const std::unique_ptr<unsigned char[]> input = std::make_unique_for_overwrite<unsigned char[]>(ChunkBytes);
    const std::unique_ptr<char[]> encoded = std::make_unique_for_overwrite<char[]>(ChunkBytes / 3 * 4 + 1);
    const std::unique_ptr<char16_t[]> wide = std::make_unique_for_overwrite<char16_t[]>(ChunkBytes / 3 * 4);
    const std::string_view prefix = "data:image/png;base64,";
    std::u16string text;
    text.reserve(prefix.size() + (static_cast<std::size_t>(length) + 2) / 3 * 4);
    text.append(prefix.begin(), prefix.end());
    for (UInt64 done = 0; done < length;) {
        const auto count = static_cast<USize>(std::min<UInt64>(ChunkBytes, length - done));
        if (file.ReadBin(reinterpret_cast<char*>(input.get()), count) != NoError) return GS::UniString();
        const int written =
            EVP_EncodeBlock(reinterpret_cast<unsigned char*>(encoded.get()), input.get(), static_cast<int>(count));
        if (written < 0) return GS::UniString();
        // Base64 is ASCII: each byte widens as it is. A plain loop the compiler vectorises, then one block copy.
        for (int i = 0; i < written; ++i)
            wide[static_cast<std::size_t>(i)] = static_cast<unsigned char>(encoded[static_cast<std::size_t>(i)]);
        text.append(wide.get(), static_cast<std::size_t>(written));
        done += count;
    }
    return GS::UniString(std::move(text));
}

GS::UniString CaptureViewpoint(const GS::UniString& imageId, GS::UniString* pendingSnapshotFile) {
    API_3DProjectionInfo projection;
    if (ACAPI_View_Get3DProjection(&projection) != NoError) return GS::UniString();
    ViewpointData viewpoint;
    viewpoint.perspective = projection.isPersp;
    viewpoint.imageId = imageId;
    viewpoint.creatingTool = "Archicad";
    if (viewpoint.perspective) {
        FillPerspectiveCamera(projection.persp, &viewpoint);
    } else {
        FillParallelCamera(projection, &viewpoint);
    }
    std::u16string text = ViewpointText(viewpoint);
    if (!pendingSnapshotFile->IsEmpty()) {
        const GS::UniString image = EncodeSnapshotFile(*pendingSnapshotFile);
        if (!image.IsEmpty()) {
            text.pop_back();
            text.reserve(text.size() + image.GetLength() + 16);
            AppendKey(&text, "localImage");
            JSON::AppendStringLiteral(text, image.ToU16String());
            text += u'}';
        }
        *pendingSnapshotFile = GS::UniString();
    }
    return GS::UniString(std::move(text));
}

GS::Ref<JS::Base> AddViewpoint(const GS::Ref<JS::Base>&) {
    if (!QuillmarPalette::HasInstance()) return MakeStringResult(GS::UniString());
    QuillmarPalette& palette = QuillmarPalette::GetInstance();
    ViewpointState& viewpoints = palette.GetViewpointState();
    // Only once a snapshot upload has ended; a failed one gives an empty image id and the embedded picture.
    const std::optional<GS::UniString> imageId = viewpoints.GetSnapshotResponse();
    if (!imageId) return MakeStringResult(GS::UniString());
    return MakeStringResult(CaptureViewpoint(*imageId, &viewpoints.pendingSnapshotFile));
}
