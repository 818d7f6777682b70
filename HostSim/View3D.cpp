#include "View3D.hpp"

#include <png.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <limits>
#include <stdexcept>
#include <string>
#include <vector>

namespace HostSim {

namespace {

using Vec = std::array<double, 3>;

Vec Sub(const Vec& a, const Vec& b) noexcept {
    return {a[0] - b[0], a[1] - b[1], a[2] - b[2]};
}
double Dot(const Vec& a, const Vec& b) noexcept {
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}
Vec Cross(const Vec& a, const Vec& b) noexcept {
    return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}
Vec Normalised(const Vec& v) noexcept {
    const double length = std::sqrt(Dot(v, v));
    return length > 0.0 ? Vec{v[0] / length, v[1] / length, v[2] / length} : v;
}

std::vector<double> Numbers(const nlohmann::json& value, std::size_t count, const std::string& what) {
    if (!value.is_array() || value.size() != count ||
        !std::all_of(value.begin(), value.end(), [](const nlohmann::json& n) { return n.is_number(); }))
        throw std::invalid_argument(what + " must be an array of " + std::to_string(count) + " numbers");
    std::vector<double> numbers;
    for (const nlohmann::json& n : value)
        numbers.push_back(n.get<double>());
    return numbers;
}

double Number(const nlohmann::json& value, const std::string& what) {
    if (!value.is_number()) throw std::invalid_argument(what + " must be a number");
    return value.get<double>();
}

Vec Add(const Vec& a, const Vec& b) noexcept {
    return {a[0] + b[0], a[1] + b[1], a[2] + b[2]};
}
Vec Scaled(const Vec& v, double factor) noexcept {
    return {v[0] * factor, v[1] * factor, v[2] * factor};
}

using Polygon = std::vector<Vec>;

// The points with normal . p <= limit.
struct HalfSpace {
    Vec normal;
    double limit = 0.0;
};

// The six faces of a box, each turning the same way seen from outside.
std::vector<Polygon> BoxFaces(const API_Box3D& b) {
    const auto corner = [&b](int i) {
        return Vec{(i & 1) != 0 ? b.xMax : b.xMin, (i & 2) != 0 ? b.yMax : b.yMin, (i & 4) != 0 ? b.zMax : b.zMin};
    };
    const int faces[6][4] = {{0, 2, 3, 1}, {4, 5, 7, 6}, {0, 1, 5, 4}, {2, 6, 7, 3}, {0, 4, 6, 2}, {1, 3, 7, 5}};
    std::vector<Polygon> result;
    for (const auto& face : faces)
        result.push_back({corner(face[0]), corner(face[1]), corner(face[2]), corner(face[3])});
    return result;
}

// Clips a convex solid, given by its faces, to a half-space. A cutting plane closes the solid with a face on the
// plane, as the cut on screen shows it; the camera's near limit does not, so a camera inside a box sees its inside.
std::vector<Polygon> Clip(const std::vector<Polygon>& faces, const HalfSpace& half, bool close) {
    const double tolerance = 1e-9 * (1.0 + std::fabs(half.limit));
    std::vector<Polygon> result;
    Polygon onPlane;
    bool cut = false;
    for (const Polygon& face : faces) {
        Polygon kept;
        for (std::size_t i = 0; i < face.size(); ++i) {
            const Vec& a = face[i];
            const Vec& b = face[(i + 1) % face.size()];
            const double da = Dot(half.normal, a) - half.limit;
            const double db = Dot(half.normal, b) - half.limit;
            if (da <= tolerance) {
                kept.push_back(a);
                if (da >= -tolerance) onPlane.push_back(a);
            } else {
                cut = true;
            }
            if ((da < -tolerance && db > tolerance) || (da > tolerance && db < -tolerance)) {
                const Vec crossing = Add(a, Scaled(Sub(b, a), da / (da - db)));
                kept.push_back(crossing);
                onPlane.push_back(crossing);
            }
        }
        if (kept.size() >= 3) result.push_back(std::move(kept));
    }
    if (!close || !cut || onPlane.size() < 3) return result;

    // The cut face: its points in order of their angle about their centre, within the plane.
    Vec centre{};
    for (const Vec& p : onPlane)
        centre = Add(centre, p);
    centre = Scaled(centre, 1.0 / static_cast<double>(onPlane.size()));
    const Vec n = Normalised(half.normal);
    Vec u = Normalised(Cross(n, std::fabs(n[0]) < 0.9 ? Vec{1.0, 0.0, 0.0} : Vec{0.0, 1.0, 0.0}));
    const Vec v = Cross(n, u);
    std::sort(onPlane.begin(), onPlane.end(), [&](const Vec& a, const Vec& b) {
        return std::atan2(Dot(Sub(a, centre), v), Dot(Sub(a, centre), u)) <
               std::atan2(Dot(Sub(b, centre), v), Dot(Sub(b, centre), u));
    });
    Polygon face;
    for (const Vec& p : onPlane) {
        const Vec d = Sub(p, face.empty() ? Vec{1e300, 0.0, 0.0} : face.back());
        if (Dot(d, d) > tolerance * tolerance) face.push_back(p);
    }
    while (face.size() > 1) {
        const Vec d = Sub(face.front(), face.back());
        if (Dot(d, d) > tolerance * tolerance) break;
        face.pop_back();
    }
    if (face.size() >= 3) result.push_back(std::move(face));
    return result;
}

// A point of the picture: its position in pixels and a depth key that grows towards the viewer and changes
// linearly across the picture (1 / distance in perspective, minus the distance in a parallel view), so it can be
// interpolated between projected points.
struct ScreenPoint {
    double x = 0.0;
    double y = 0.0;
    double key = 0.0;
};

// How model points land in the picture, before the fit's zoom.
class Camera {
public:
    Camera(const View3DState& view, PictureSize size) : width(size.width), height(size.height) {
        const API_3DProjectionInfo& projection = view.projection;
        perspective = projection.isPersp;
        if (perspective) {
            const API_PerspPars& p = projection.persp;
            eye = {p.pos.x, p.pos.y, p.cameraZ};
            forward = Normalised(Sub({p.target.x, p.target.y, p.targetZ}, eye));
            right = Normalised(Cross(forward, {0.0, 0.0, 1.0}));
            if (Dot(right, right) == 0.0) right = {1.0, 0.0, 0.0}; // looking straight up or down
            up = Cross(right, forward);
            const double halfAngle = std::clamp(p.viewCone, 1.0, 179.0) * 0.5 * 3.14159265358979323846 / 180.0;
            focal = 0.5 * std::max(width, height) / std::tan(halfAngle);
        } else {
            const double* m = projection.axono.tranmat.tmx;
            right = {m[0], m[1], m[2]};
            up = {m[4], m[5], m[6]};
            forward = {m[8], m[9], m[10]};
            // The window's own mapping when it uses one; otherwise a fixed number of pixels per metre keeps a model
            // of some tens of metres in view about the origin.
            const API_3DWindowInfo& window = view.window;
            const bool scaled = window.useScales != 0;
            hScale = scaled && window.hScale > 0.0 ? window.hScale : 20.0;
            vScale = scaled && window.vScale > 0.0 ? window.vScale : hScale;
            offsetX = scaled ? window.xOffset : 0.5 * width;
            offsetY = scaled ? window.yOffset : -0.5 * height;
        }
    }

    // What the camera can see at all: in perspective only what lies in front of it.
    std::optional<HalfSpace> NearLimit() const noexcept {
        if (!perspective) return std::nullopt;
        return HalfSpace{Scaled(forward, -1.0), -Dot(forward, eye) - NearDistance};
    }

    ScreenPoint Project(const Vec& point) const noexcept {
        if (!perspective)
            return {offsetX + hScale * Dot(point, right), -(offsetY + vScale * Dot(point, up)), -Dot(point, forward)};
        const Vec v = Sub(point, eye);
        const double depth = std::max(Dot(v, forward), NearDistance);
        return {0.5 * width + focal * Dot(v, right) / depth, 0.5 * height - focal * Dot(v, up) / depth, 1.0 / depth};
    }

    // How squarely a face turns towards the viewer: 1 face on, 0 edge on.
    double Facing(const Polygon& face) const noexcept {
        Vec normal{};
        for (std::size_t i = 0; i < face.size(); ++i) {
            const Vec& a = face[i];
            const Vec& b = face[(i + 1) % face.size()];
            normal = Add(normal, Cross(a, b));
        }
        normal = Normalised(normal);
        return std::fabs(Dot(normal, forward));
    }

private:
    static constexpr double NearDistance = 0.01;

    int width;
    int height;
    bool perspective = true;
    Vec eye{};
    Vec forward{};
    Vec right{};
    Vec up{};
    double focal = 1.0;
    double hScale = 1.0;
    double vScale = 1.0;
    double offsetX = 0.0;
    double offsetY = 0.0;
};

// Calls visit(faces, highlighted) with each shown element's visible solid: its box less what the cutting planes and,
// in perspective, the camera's near limit remove. One solid at a time, so a large model needs no more memory.
template <typename Visit>
void ForEachVisibleSolid(const ProjectDescription& project, const Camera& camera, const PictureScene& scene,
                         Visit&& visit) {
    std::vector<HalfSpace> limits;
    for (const API_3DCutShapeType& cut : scene.cuts) {
        const Vec normal{cut.pa, cut.pb, cut.pc};
        if (Dot(normal, normal) > 0.0) limits.push_back({normal, cut.pd}); // a plane without normal cuts nothing
    }
    const std::optional<HalfSpace> near = camera.NearLimit();
    for (const ProjectElement& element : project.elements) {
        if (!element.shownIn3D || !element.bounds) continue;
        std::vector<Polygon> faces = BoxFaces(*element.bounds);
        for (const HalfSpace& limit : limits) {
            if (faces.empty()) break;
            faces = Clip(faces, limit, true);
        }
        if (near && !faces.empty()) faces = Clip(faces, *near, false);
        if (!faces.empty()) visit(faces, scene.highlighted.contains(element.guid));
    }
}

class Canvas {
public:
    Canvas(PictureSize pictureSize, const PictureFit& fit)
        : size(pictureSize), fit(fit),
          pixels(static_cast<std::size_t>(size.width) * static_cast<std::size_t>(size.height) * 3),
          depth(static_cast<std::size_t>(size.width) * static_cast<std::size_t>(size.height),
                -std::numeric_limits<double>::infinity()) {
        for (std::size_t at = 0; at < depth.size(); ++at)
            Paint(at, BackgroundColour);
    }

    ScreenPoint Zoomed(const ScreenPoint& p) const noexcept {
        return {fit.scale * p.x + fit.dx, fit.scale * p.y + fit.dy, p.key};
    }

    // Fills a convex polygon where it is nearer than what is drawn there. Its depth is pushed back by a pixel and a
    // half of its slope, so that edges on it still show and faces behind it do not.
    void Fill(const std::vector<ScreenPoint>& polygon, const Colour& colour) {
        for (std::size_t i = 1; i + 1 < polygon.size(); ++i)
            Triangle(polygon[0], polygon[i], polygon[i + 1], colour);
    }

    // A line of one-pixel dots where it is not hidden; the part outside the picture is skipped, and an absurdly
    // long line is cut short so that a camera close to a box cannot make the drawing slow.
    void Line(const ScreenPoint& from, const ScreenPoint& to, const Colour& colour) {
        const double dx = to.x - from.x;
        const double dy = to.y - from.y;
        const double steps =
            std::min(std::ceil(std::max(std::fabs(dx), std::fabs(dy))), 4.0 * (size.width + size.height));
        if (!(steps >= 0.0)) return; // not a number
        const auto count = static_cast<long>(steps);
        for (long i = 0; i <= count; ++i) {
            const double t = count == 0 ? 0.0 : static_cast<double>(i) / static_cast<double>(count);
            const double x = from.x + t * dx;
            const double y = from.y + t * dy;
            if (!(x >= 0.0 && y >= 0.0 && x < size.width && y < size.height)) continue; // also drops NaN
            const std::size_t at = Index(static_cast<int>(x), static_cast<int>(y));
            const double key = from.key + t * (to.key - from.key);
            if (key >= depth[at] - 1e-9 * (1.0 + std::fabs(key))) Paint(at, colour);
        }
    }

    bool Write(const std::filesystem::path& file) const {
        png_image image{};
        image.version = PNG_IMAGE_VERSION;
        image.width = static_cast<png_uint_32>(size.width);
        image.height = static_cast<png_uint_32>(size.height);
        image.format = PNG_FORMAT_RGB;
        const bool written = png_image_write_to_file(&image, file.string().c_str(), 0, pixels.data(),
                                                     static_cast<png_int_32>(size.width * 3), nullptr) != 0;
        png_image_free(&image);
        return written;
    }

private:
    std::size_t Index(int x, int y) const noexcept {
        return static_cast<std::size_t>(y) * static_cast<std::size_t>(size.width) + static_cast<std::size_t>(x);
    }

    void Paint(std::size_t at, const Colour& colour) noexcept {
        std::copy(colour.begin(), colour.end(), pixels.begin() + static_cast<std::ptrdiff_t>(at * 3));
    }

    void Triangle(const ScreenPoint& a, const ScreenPoint& b, const ScreenPoint& c, const Colour& colour) {
        for (const ScreenPoint* p : {&a, &b, &c})
            if (!std::isfinite(p->x) || !std::isfinite(p->y) || !std::isfinite(p->key)) return;
        const double area = (b.x - a.x) * (c.y - a.y) - (c.x - a.x) * (b.y - a.y);
        if (!(std::fabs(area) > 1e-12)) return; // edge on
        // The depth key as a plane over the picture: key = kx * x + ky * y + k0.
        const double kx = ((b.key - a.key) * (c.y - a.y) - (c.key - a.key) * (b.y - a.y)) / area;
        const double ky = ((c.key - a.key) * (b.x - a.x) - (b.key - a.key) * (c.x - a.x)) / area;
        const double pushBack = 1.5 * (std::fabs(kx) + std::fabs(ky));
        const double xMin = std::max(0.0, std::floor(std::min({a.x, b.x, c.x})));
        const double xMax = std::min(size.width - 1.0, std::ceil(std::max({a.x, b.x, c.x})));
        const double yMin = std::max(0.0, std::floor(std::min({a.y, b.y, c.y})));
        const double yMax = std::min(size.height - 1.0, std::ceil(std::max({a.y, b.y, c.y})));
        for (double y = yMin; y <= yMax; ++y) {
            for (double x = xMin; x <= xMax; ++x) {
                const double px = x + 0.5;
                const double py = y + 0.5;
                // Barycentric weights, signed alike inside whichever way the triangle turns.
                const double wa = ((b.x - px) * (c.y - py) - (c.x - px) * (b.y - py)) / area;
                const double wb = ((c.x - px) * (a.y - py) - (a.x - px) * (c.y - py)) / area;
                const double wc = 1.0 - wa - wb;
                if (!(wa >= 0.0 && wb >= 0.0 && wc >= 0.0)) continue;
                const double key = a.key + kx * (px - a.x) + ky * (py - a.y) - pushBack;
                const std::size_t at = Index(static_cast<int>(x), static_cast<int>(y));
                if (!(key > depth[at])) continue;
                depth[at] = key;
                Paint(at, colour);
            }
        }
    }

    PictureSize size;
    PictureFit fit;
    std::vector<std::uint8_t> pixels;
    std::vector<double> depth; // the key of what is drawn at each pixel; -infinity: background
};

Colour Lit(const Colour& colour, double facing) {
    const double light = 0.85 + 0.15 * std::clamp(facing, 0.0, 1.0);
    Colour result;
    for (std::size_t i = 0; i < 3; ++i)
        result[i] = static_cast<std::uint8_t>(std::lround(colour[i] * light));
    return result;
}

} // namespace

View3DState::View3DState() {
    // A camera south-west of the origin, looking at it from above, as a new project's 3D window does.
    projection.isPersp = true;
    projection.persp.viewCone = 60.0;
    projection.persp.pos = {-20.0, -20.0};
    projection.persp.cameraZ = 15.0;
    projection.persp.target = {0.0, 0.0};
    projection.persp.targetZ = 0.0;
    projection.persp.distance = std::sqrt(20.0 * 20.0 * 2.0 + 15.0 * 15.0);
    projection.persp.azimuth = 45.0;
    double* m = projection.axono.tranmat.tmx;
    m[0] = 1.0; // right (1, 0, 0), up (0, 0, 1), looking along +y
    m[6] = 1.0;
    m[9] = 1.0;
    window.hSize = 800;
    window.vSize = 600;
    window.hScale = 1.0;
    window.vScale = 1.0;
}

nlohmann::json ProjectionLine(const API_3DProjectionInfo& projection) {
    if (projection.isPersp) {
        const API_PerspPars& p = projection.persp;
        return {{"perspective", true},
                {"camera", {p.pos.x, p.pos.y, p.cameraZ}},
                {"target", {p.target.x, p.target.y, p.targetZ}},
                {"viewCone", p.viewCone}};
    }
    const double* m = projection.axono.tranmat.tmx;
    return {{"perspective", false}, {"orientation", {m[0], m[1], m[2], m[4], m[5], m[6], m[8], m[9], m[10]}}};
}

nlohmann::json WindowLine(const API_3DWindowInfo& window) {
    return {{"size", {window.hSize, window.vSize}},
            {"useScales", window.useScales != 0},
            {"scales", {window.hScale, window.vScale}},
            {"offsets", {window.xOffset, window.yOffset}}};
}

nlohmann::json SurveyLine(const std::optional<API_Tranmat>& survey) {
    if (!survey) return nullptr;
    return std::vector<double>(std::begin(survey->tmx), std::end(survey->tmx));
}

API_3DProjectionInfo ParseProjection(const nlohmann::json& value, const API_3DProjectionInfo& current) {
    if (!value.is_object()) throw std::invalid_argument("\"projection\" must be an object");
    API_3DProjectionInfo result = current;
    for (const auto& [key, item] : value.items()) {
        if (key == "perspective") {
            if (!item.is_boolean())
                throw std::invalid_argument("\"projection\": \"perspective\" must be true or false");
            result.isPersp = item.get<bool>();
        } else if (key == "camera") {
            const std::vector<double> n = Numbers(item, 3, "\"projection\": \"camera\"");
            result.persp.pos = {n[0], n[1]};
            result.persp.cameraZ = n[2];
        } else if (key == "target") {
            const std::vector<double> n = Numbers(item, 3, "\"projection\": \"target\"");
            result.persp.target = {n[0], n[1]};
            result.persp.targetZ = n[2];
        } else if (key == "viewCone") {
            result.persp.viewCone = Number(item, "\"projection\": \"viewCone\"");
        } else if (key == "orientation") {
            double* m = result.axono.tranmat.tmx;
            if (item.is_array() && item.size() == 12) {
                const std::vector<double> n = Numbers(item, 12, "\"projection\": \"orientation\"");
                std::copy(n.begin(), n.end(), m);
            } else {
                const std::vector<double> n = Numbers(item, 9, "\"projection\": \"orientation\"");
                for (std::size_t row = 0; row < 3; ++row)
                    for (std::size_t col = 0; col < 3; ++col)
                        m[row * 4 + col] = n[row * 3 + col];
            }
        } else {
            throw std::invalid_argument("\"projection\": unknown key \"" + key + "\"");
        }
    }
    const API_PerspPars& p = result.persp;
    const double dx = p.target.x - p.pos.x;
    const double dy = p.target.y - p.pos.y;
    const double dz = p.targetZ - p.cameraZ;
    result.persp.distance = std::sqrt(dx * dx + dy * dy + dz * dz);
    return result;
}

API_3DWindowInfo ParseWindow(const nlohmann::json& value, const API_3DWindowInfo& current) {
    if (!value.is_object()) throw std::invalid_argument("\"window3D\" must be an object");
    API_3DWindowInfo result = current;
    for (const auto& [key, item] : value.items()) {
        if (key == "size") {
            const std::vector<double> n = Numbers(item, 2, "\"window3D\": \"size\"");
            if (n[0] < 0 || n[1] < 0 || n[0] > 16000 || n[1] > 16000 || n[0] != std::floor(n[0]) ||
                n[1] != std::floor(n[1]))
                throw std::invalid_argument("\"window3D\": \"size\" must be two whole numbers from 0 to 16000");
            result.hSize = static_cast<Int16>(n[0]);
            result.vSize = static_cast<Int16>(n[1]);
        } else if (key == "useScales") {
            if (!item.is_boolean()) throw std::invalid_argument("\"window3D\": \"useScales\" must be true or false");
            result.useScales = item.get<bool>() ? 1 : 0;
        } else if (key == "scales") {
            const std::vector<double> n = Numbers(item, 2, "\"window3D\": \"scales\"");
            result.hScale = n[0];
            result.vScale = n[1];
        } else if (key == "offsets") {
            const std::vector<double> n = Numbers(item, 2, "\"window3D\": \"offsets\"");
            result.xOffset = n[0];
            result.yOffset = n[1];
        } else {
            throw std::invalid_argument("\"window3D\": unknown key \"" + key + "\"");
        }
    }
    return result;
}

std::optional<API_Tranmat> ParseSurvey(const nlohmann::json& value) {
    if (value.is_null()) return std::nullopt;
    const std::vector<double> n = Numbers(value, 12, "\"survey\" (null or a 3x4 matrix in row order)");
    API_Tranmat matrix;
    std::copy(n.begin(), n.end(), matrix.tmx);
    return matrix;
}

bool SameProjection(const API_3DProjectionInfo& a, const API_3DProjectionInfo& b) noexcept {
    const API_PerspPars& p = a.persp;
    const API_PerspPars& q = b.persp;
    return a.isPersp == b.isPersp && p.viewCone == q.viewCone && p.rollAngle == q.rollAngle && p.azimuth == q.azimuth &&
           p.distance == q.distance && p.pos.x == q.pos.x && p.pos.y == q.pos.y && p.target.x == q.target.x &&
           p.target.y == q.target.y && p.cameraZ == q.cameraZ && p.targetZ == q.targetZ &&
           a.axono.projMod == b.axono.projMod &&
           std::equal(std::begin(a.axono.tranmat.tmx), std::end(a.axono.tranmat.tmx), std::begin(b.axono.tranmat.tmx));
}

bool SameWindow(const API_3DWindowInfo& a, const API_3DWindowInfo& b) noexcept {
    return a.hSize == b.hSize && a.vSize == b.vSize && a.useScales == b.useScales && a.hScale == b.hScale &&
           a.vScale == b.vScale && a.xOffset == b.xOffset && a.yOffset == b.yOffset;
}

PictureSize GetPictureSize(const API_3DWindowInfo& window) noexcept {
    if (window.hSize <= 0 || window.vSize <= 0) return {640, 480};
    return {window.hSize, window.vSize};
}

std::optional<PictureFit> FitView(const ProjectDescription& project, const View3DState& view,
                                  const PictureScene& scene) {
    const PictureSize size = GetPictureSize(view.window);
    const Camera camera(view, size);
    double xMin = std::numeric_limits<double>::infinity();
    double yMin = xMin;
    double xMax = -xMin;
    double yMax = -xMin;
    ForEachVisibleSolid(project, camera, scene, [&](const std::vector<Polygon>& faces, bool) {
        for (const Polygon& face : faces) {
            for (const Vec& point : face) {
                const ScreenPoint p = camera.Project(point);
                xMin = std::min(xMin, p.x);
                xMax = std::max(xMax, p.x);
                yMin = std::min(yMin, p.y);
                yMax = std::max(yMax, p.y);
            }
        }
    });
    if (!(xMin <= xMax && yMin <= yMax) || !std::isfinite(xMax - xMin) || !std::isfinite(yMax - yMin))
        return std::nullopt;
    constexpr double Filled = 0.9; // a margin of 5 % on each side
    double scale = std::numeric_limits<double>::infinity();
    if (xMax - xMin > 1e-9) scale = Filled * size.width / (xMax - xMin);
    if (yMax - yMin > 1e-9) scale = std::min(scale, Filled * size.height / (yMax - yMin));
    if (!std::isfinite(scale)) scale = 1.0; // a single point: only centred
    scale = std::clamp(scale, 1e-6, 1e6);
    return PictureFit{scale, 0.5 * size.width - scale * 0.5 * (xMin + xMax),
                      0.5 * size.height - scale * 0.5 * (yMin + yMax)};
}

bool WriteViewPicture(const std::filesystem::path& file, const ProjectDescription& project, const View3DState& view,
                      const PictureScene& scene) {
    const PictureSize size = GetPictureSize(view.window);
    const Camera camera(view, size);
    Canvas canvas(size, view.fit.value_or(PictureFit{}));
    const auto project2D = [&](const Polygon& face) {
        std::vector<ScreenPoint> points;
        for (const Vec& point : face)
            points.push_back(canvas.Zoomed(camera.Project(point)));
        return points;
    };
    // Faces first, then every edge over them, so that an edge shows wherever no nearer face hides it.
    ForEachVisibleSolid(project, camera, scene, [&](const std::vector<Polygon>& faces, bool highlighted) {
        for (const Polygon& face : faces)
            canvas.Fill(project2D(face), Lit(highlighted ? HighlightColour : FaceColour, camera.Facing(face)));
    });
    ForEachVisibleSolid(project, camera, scene, [&](const std::vector<Polygon>& faces, bool) {
        for (const Polygon& face : faces) {
            const std::vector<ScreenPoint> points = project2D(face);
            for (std::size_t i = 0; i < points.size(); ++i)
                canvas.Line(points[i], points[(i + 1) % points.size()], EdgeColour);
        }
    });
    return canvas.Write(file);
}

} // namespace HostSim
