#include "View3D.hpp"

#include <png.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
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

// Where a model point lands in the picture; nothing for a point behind the camera.
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
            // Without the window's own mapping a fixed number of pixels per metre keeps a model of some tens of
            // metres in view.
            const API_3DWindowInfo& window = view.window;
            scale = window.useScales != 0 && window.hScale > 0.0 ? window.hScale : 20.0;
            offsetX = window.useScales != 0 ? window.xOffset : 0.5 * width;
            offsetY = window.useScales != 0 ? window.yOffset : -0.5 * height;
        }
    }

    std::optional<std::array<double, 2>> Project(const Vec& point) const noexcept {
        if (!perspective)
            return std::array<double, 2>{offsetX + scale * Dot(point, right), -(offsetY + scale * Dot(point, up))};
        const Vec v = Sub(point, eye);
        const double depth = Dot(v, forward);
        if (depth <= 1e-6) return std::nullopt;
        return std::array<double, 2>{0.5 * width + focal * Dot(v, right) / depth,
                                     0.5 * height - focal * Dot(v, up) / depth};
    }

private:
    int width;
    int height;
    bool perspective = true;
    Vec eye{};
    Vec forward{};
    Vec right{};
    Vec up{};
    double focal = 1.0;
    double scale = 1.0;
    double offsetX = 0.0;
    double offsetY = 0.0;
};

class Canvas {
public:
    explicit Canvas(PictureSize pictureSize)
        : size(pictureSize),
          pixels(static_cast<std::size_t>(size.width) * static_cast<std::size_t>(size.height) * 3, 0xFF) {}

    // A line of one-pixel dots; the part outside the picture is skipped, and an absurdly long line is cut short
    // so that a camera close to a box cannot make the drawing slow.
    void Line(const std::array<double, 2>& from, const std::array<double, 2>& to) {
        const double dx = to[0] - from[0];
        const double dy = to[1] - from[1];
        const double steps =
            std::min(std::ceil(std::max(std::fabs(dx), std::fabs(dy))), 4.0 * (size.width + size.height));
        const auto count = static_cast<long>(steps);
        for (long i = 0; i <= count; ++i) {
            const double t = count == 0 ? 0.0 : static_cast<double>(i) / static_cast<double>(count);
            Dot(from[0] + t * dx, from[1] + t * dy);
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
    void Dot(double x, double y) {
        if (!(x >= 0.0 && y >= 0.0 && x < size.width && y < size.height)) return; // also drops NaN
        const std::size_t at =
            (static_cast<std::size_t>(y) * static_cast<std::size_t>(size.width) + static_cast<std::size_t>(x)) * 3;
        pixels[at] = pixels[at + 1] = pixels[at + 2] = 0;
    }

    PictureSize size;
    std::vector<std::uint8_t> pixels;
};

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

bool WriteViewPicture(const std::filesystem::path& file, const ProjectDescription& project, const View3DState& view) {
    const PictureSize size = GetPictureSize(view.window);
    const Camera camera(view, size);
    Canvas canvas(size);
    for (const ProjectElement& element : project.elements) {
        if (!element.shownIn3D || !element.bounds) continue;
        const API_Box3D& b = *element.bounds;
        std::array<std::optional<std::array<double, 2>>, 8> corners;
        for (std::size_t i = 0; i < 8; ++i)
            corners[i] = camera.Project(
                {(i & 1) != 0 ? b.xMax : b.xMin, (i & 2) != 0 ? b.yMax : b.yMin, (i & 4) != 0 ? b.zMax : b.zMin});
        // The twelve edges join corners that differ in one coordinate.
        for (std::size_t i = 0; i < 8; ++i)
            for (std::size_t bit = 1; bit < 8; bit <<= 1)
                if ((i & bit) == 0 && corners[i] && corners[i | bit]) canvas.Line(*corners[i], *corners[i | bit]);
    }
    return canvas.Write(file);
}

} // namespace HostSim
