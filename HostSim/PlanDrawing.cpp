#include "PlanDrawing.hpp"

#include <cairo-pdf.h>
#include <cairo.h>
#include <dl_dxf.h>
#include <png.h>

#include <cstdio> // before jpeglib.h, which uses FILE without including it
#include <jpeglib.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <csetjmp>
#include <cstdint>
#include <fstream>
#include <memory>
#include <string>
#include <system_error>
#include <unordered_set>
#include <vector>

namespace HostSim {

namespace {

struct Footprint {
    double xMin;
    double yMin;
    double xMax;
    double yMax;
    API_ElemTypeID type;
};

struct Extent {
    double xMin;
    double yMin;
    double xMax;
    double yMax;
    double Width() const noexcept { return xMax - xMin; }
    double Height() const noexcept { return yMax - yMin; }
};

std::optional<Footprint> FootprintOf(const ProjectElement& element) {
    if (!element.bounds) return std::nullopt;
    const API_Box3D& box = *element.bounds;
    if (!std::isfinite(box.xMin) || !std::isfinite(box.xMax) || !std::isfinite(box.yMin) || !std::isfinite(box.yMax))
        return std::nullopt;
    return Footprint{std::min(box.xMin, box.xMax), std::min(box.yMin, box.yMax), std::max(box.xMin, box.xMax),
                     std::max(box.yMin, box.yMax), element.typeID};
}

std::vector<Footprint> Footprints(const ProjectDescription& project) {
    std::vector<Footprint> footprints;
    footprints.reserve(project.elements.size());
    for (const ProjectElement& element : project.elements)
        if (const std::optional<Footprint> footprint = FootprintOf(element)) footprints.push_back(*footprint);
    return footprints;
}

// None for an empty drawing.
std::optional<Extent> ExtentOf(const std::vector<Footprint>& footprints) {
    if (footprints.empty()) return std::nullopt;
    Extent extent{footprints[0].xMin, footprints[0].yMin, footprints[0].xMax, footprints[0].yMax};
    for (const Footprint& f : footprints) {
        extent.xMin = std::min(extent.xMin, f.xMin);
        extent.yMin = std::min(extent.yMin, f.yMin);
        extent.xMax = std::max(extent.xMax, f.xMax);
        extent.yMax = std::max(extent.yMax, f.yMax);
    }
    return extent;
}

// Extremes whose distance overflows cannot be fitted.
bool Drawable(const std::optional<Extent>& extent) {
    return !extent || (std::isfinite(extent->Width()) && std::isfinite(extent->Height()));
}

// Model points to output coordinates (x to the right, y down, so north is up), the drawing centred in the area.
class PlanFit {
public:
    PlanFit(const std::optional<Extent>& extent, double left, double top, double width, double height) {
        if (!extent) return;
        const double w = extent->Width();
        const double h = extent->Height();
        if (w > 0.0 && h > 0.0) {
            scale = std::min(width / w, height / h);
        } else if (w > 0.0) {
            scale = width / w;
        } else if (h > 0.0) {
            scale = height / h;
        }
        xMin = extent->xMin;
        yMax = extent->yMax;
        x0 = left + (width - w * scale) / 2.0;
        y0 = top + (height - h * scale) / 2.0;
    }
    double X(double x) const noexcept { return x0 + (x - xMin) * scale; }
    double Y(double y) const noexcept { return y0 + (yMax - y) * scale; }

private:
    double scale = 1.0;
    double xMin = 0.0;
    double yMax = 0.0;
    double x0 = 0.0;
    double y0 = 0.0;
};

// Cropped: the longer side of the drawing gets the window's width, the other side its share of it.
PictureSize PictureSizeFor(const std::optional<Extent>& extent, bool crop) {
    if (!crop || !extent) return {PlanWindowWidth, PlanWindowHeight};
    const double w = extent->Width();
    const double h = extent->Height();
    const int span = PlanWindowWidth - 2 * PlanPictureMargin - 1; // from the first pixel drawn to the last
    const double ratio = std::max(w, h) > 0.0 ? std::min(w, h) / std::max(w, h) : 1.0;
    const int shorter = 2 * PlanPictureMargin + 1 + static_cast<int>(std::lround(span * ratio));
    return w >= h ? PictureSize{PlanWindowWidth, shorter} : PictureSize{shorter, PlanWindowWidth};
}

enum class Paint : std::uint8_t { Background, Face, Edge };

// The footprints as filled rectangles with their outlines. Each rectangle is marked at its corners in difference
// arrays that running sums then spread, so the time is the number of footprints plus the pixels, however large the
// footprints are.
std::vector<Paint> Rasterise(const std::vector<Footprint>& footprints, const std::optional<Extent>& extent,
                             PictureSize size) {
    const auto width = static_cast<std::size_t>(size.width);
    const auto height = static_cast<std::size_t>(size.height);
    const std::size_t stride = width + 1;
    std::vector<std::int32_t> fill(stride * (height + 1));
    std::vector<std::int32_t> rows(stride * height);      // horizontal edges, spread along each row
    std::vector<std::int32_t> cols(width * (height + 1)); // vertical edges, spread down each column
    // The extremes land on the first and the last pixel inside the margins.
    const PlanFit fit(extent, PlanPictureMargin, PlanPictureMargin, size.width - 2.0 * PlanPictureMargin - 1.0,
                      size.height - 2.0 * PlanPictureMargin - 1.0);
    const auto pixel = [](double at, std::size_t count) {
        const double floored = std::floor(at);
        if (!(floored >= 0.0)) return std::size_t{0};
        return std::min(static_cast<std::size_t>(std::min(floored, 1e9)), count - 1);
    };
    for (const Footprint& f : footprints) {
        const std::size_t x0 = pixel(fit.X(f.xMin), width);
        const std::size_t x1 = pixel(fit.X(f.xMax), width);
        const std::size_t y0 = pixel(fit.Y(f.yMax), height);
        const std::size_t y1 = pixel(fit.Y(f.yMin), height);
        ++fill[y0 * stride + x0];
        --fill[y0 * stride + x1 + 1];
        --fill[(y1 + 1) * stride + x0];
        ++fill[(y1 + 1) * stride + x1 + 1];
        for (const std::size_t y : {y0, y1}) {
            ++rows[y * stride + x0];
            --rows[y * stride + x1 + 1];
        }
        for (const std::size_t x : {x0, x1}) {
            ++cols[y0 * width + x];
            --cols[(y1 + 1) * width + x];
        }
    }
    std::vector<Paint> paint(width * height, Paint::Background);
    for (std::size_t y = 0; y < height; ++y) {
        std::int32_t fillRun = 0;
        std::int32_t rowRun = 0;
        for (std::size_t x = 0; x < width; ++x) {
            fillRun += fill[y * stride + x];
            rowRun += rows[y * stride + x];
            // fill becomes the running sum of its column of row sums
            fill[y * stride + x] = fillRun + (y > 0 ? fill[(y - 1) * stride + x] : 0);
            if (y > 0) cols[y * width + x] += cols[(y - 1) * width + x];
            if (rowRun > 0 || cols[y * width + x] > 0) {
                paint[y * width + x] = Paint::Edge;
            } else if (fill[y * stride + x] > 0) {
                paint[y * width + x] = Paint::Face;
            }
        }
    }
    return paint;
}

// What a failed write left; never a folder the target named.
void RemoveQuietly(const std::filesystem::path& file) {
    std::error_code ignored;
    if (std::filesystem::is_regular_file(file, ignored)) std::filesystem::remove(file, ignored);
}

bool WritePng(const std::filesystem::path& file, PictureSize size, bool alpha, const std::vector<png_byte>& pixels) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(size.width);
    image.height = static_cast<png_uint_32>(size.height);
    image.format = alpha ? PNG_FORMAT_RGBA : PNG_FORMAT_RGB;
    const auto rowBytes = static_cast<png_int_32>(size.width * (alpha ? 4 : 3));
    const bool written =
        png_image_write_to_file(&image, file.string().c_str(), 0, pixels.data(), rowBytes, nullptr) != 0;
    png_image_free(&image);
    return written;
}

// libjpeg ends a failing call through error_exit, which must not return: it jumps back to the caller's setjmp.
struct JpegError {
    jpeg_error_mgr manager;
    std::jmp_buf jump;
};

[[noreturn]] void JpegFail(j_common_ptr info) {
    std::longjmp(reinterpret_cast<JpegError*>(info->err)->jump, 1);
}

void JpegQuiet(j_common_ptr) {}

// Only C objects live here, so the jump skips no destructor.
bool CompressJpeg(std::FILE* out, PictureSize size, const unsigned char* rgb) {
    jpeg_compress_struct info{};
    JpegError error{};
    info.err = jpeg_std_error(&error.manager);
    error.manager.error_exit = JpegFail;
    error.manager.output_message = JpegQuiet;
    if (setjmp(error.jump) != 0) {
        jpeg_destroy_compress(&info);
        return false;
    }
    jpeg_create_compress(&info);
    jpeg_stdio_dest(&info, out);
    info.image_width = static_cast<JDIMENSION>(size.width);
    info.image_height = static_cast<JDIMENSION>(size.height);
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, 90, TRUE);
    jpeg_start_compress(&info, TRUE);
    const std::size_t rowBytes = static_cast<std::size_t>(size.width) * 3;
    while (info.next_scanline < info.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(rgb + info.next_scanline * rowBytes);
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    return true;
}

bool WriteJpeg(const std::filesystem::path& file, PictureSize size, const std::vector<unsigned char>& rgb) {
    std::FILE* out = std::fopen(file.string().c_str(), "wb");
    if (out == nullptr) return false;
    const bool compressed = CompressJpeg(out, size, rgb.data());
    const bool flushed = std::ferror(out) == 0;
    return std::fclose(out) == 0 && compressed && flushed;
}

struct CairoSurfaceRelease {
    void operator()(cairo_surface_t* surface) const noexcept { cairo_surface_destroy(surface); }
};
struct CairoContextRelease {
    void operator()(cairo_t* context) const noexcept { cairo_destroy(context); }
};

// The PDF parameters in the precision the drawing is computed in.
struct PdfPage {
    double left;
    double top;
    double right;
    double bottom;
    double width;
    double height;
};

PdfPage PageOf(const API_SavePars_Pdf& p) {
    const auto d = [](float v) { return static_cast<double>(v); };
    return {d(p.leftMargin), d(p.topMargin), d(p.rightMargin), d(p.bottomMargin), d(p.sizeX), d(p.sizeY)};
}

bool DrawPdf(const std::filesystem::path& file, const std::vector<Footprint>& footprints, const PdfPage& page) {
    const std::unique_ptr<cairo_surface_t, CairoSurfaceRelease> surface(
        cairo_pdf_surface_create(file.string().c_str(), page.width, page.height));
    if (cairo_surface_status(surface.get()) != CAIRO_STATUS_SUCCESS) return false;
    cairo_pdf_surface_set_metadata(surface.get(), CAIRO_PDF_METADATA_CREATOR, "HostSim floor plan");
    {
        const std::unique_ptr<cairo_t, CairoContextRelease> context(cairo_create(surface.get()));
        cairo_t* cr = context.get();
        const PlanFit fit(ExtentOf(footprints), page.left, page.top, page.width - page.left - page.right,
                          page.height - page.top - page.bottom);
        // One path for the whole plan: its fill and its outline are one operator each, however many footprints.
        for (const Footprint& f : footprints) {
            const double x = fit.X(f.xMin);
            const double y = fit.Y(f.yMax);
            cairo_rectangle(cr, x, y, fit.X(f.xMax) - x, fit.Y(f.yMin) - y);
        }
        cairo_set_source_rgb(cr, FaceColour[0] / 255.0, FaceColour[1] / 255.0, FaceColour[2] / 255.0);
        cairo_fill_preserve(cr);
        cairo_set_source_rgb(cr, EdgeColour[0] / 255.0, EdgeColour[1] / 255.0, EdgeColour[2] / 255.0);
        cairo_set_line_width(cr, 0.5);
        cairo_stroke(cr);
        cairo_show_page(cr);
        if (cairo_status(cr) != CAIRO_STATUS_SUCCESS) return false;
    }
    cairo_surface_finish(surface.get());
    return cairo_surface_status(surface.get()) == CAIRO_STATUS_SUCCESS;
}

// dxflib's writer does not report failed writes: a file that does not end with the end-of-file group was cut short.
bool EndsWithEof(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    in.seekg(0, std::ios::end);
    const std::streamoff length = in.tellg();
    if (!in || length < 8) return false;
    in.seekg(length - 8);
    std::string tail(8, '\0');
    in.read(tail.data(), 8);
    return in && tail.find("EOF") != std::string::npos;
}

std::string LayerName(API_ElemTypeID type) {
    return "TYPE_" + std::to_string(type);
}

bool DrawDxf(const std::filesystem::path& file, const std::vector<Footprint>& footprints) {
    std::unordered_set<API_ElemTypeID> typeSet;
    for (const Footprint& f : footprints)
        typeSet.insert(f.type);
    std::vector<API_ElemTypeID> types(typeSet.begin(), typeSet.end());
    std::sort(types.begin(), types.end());

    DL_Dxf dxf;
    const std::unique_ptr<DL_WriterA> writer(dxf.out(file.string().c_str(), DL_Codes::AC1015));
    if (!writer) return false;
    DL_WriterA& dw = *writer;
    dxf.writeHeader(dw);
    dw.dxfString(9, "$INSUNITS");
    dw.dxfInt(70, 6); // metres
    dw.sectionEnd();

    dw.sectionTables();
    dxf.writeVPort(dw);
    dw.tableLinetypes(3);
    dxf.writeLinetype(dw, DL_LinetypeData("BYBLOCK", "", 0, 0, 0.0));
    dxf.writeLinetype(dw, DL_LinetypeData("BYLAYER", "", 0, 0, 0.0));
    dxf.writeLinetype(dw, DL_LinetypeData("CONTINUOUS", "Solid line", 0, 0, 0.0));
    dw.tableEnd();
    dw.tableLayers(static_cast<int>(types.size() + 1));
    const DL_Attributes layerLook(std::string(), DL_Codes::white, -3, "CONTINUOUS", 1.0); // -3: default weight
    dxf.writeLayer(dw, DL_LayerData("0", 0), layerLook);
    for (const API_ElemTypeID type : types)
        dxf.writeLayer(dw, DL_LayerData(LayerName(type), 0), layerLook);
    dw.tableEnd();
    dw.tableStyle(1);
    dxf.writeStyle(dw, DL_StyleData("Standard", 0, 0.0, 1.0, 0.0, 0, 2.5, "txt", ""));
    dw.tableEnd();
    dxf.writeView(dw);
    dxf.writeUcs(dw);
    dw.tableAppid(1);
    dxf.writeAppid(dw, "ACAD");
    dw.tableEnd();
    dxf.writeDimStyle(dw, 1.0, 1.0, 1.0, 1.0, 1.0);
    dxf.writeBlockRecord(dw);
    dw.tableEnd();
    dw.sectionEnd();

    dw.sectionBlocks();
    for (const char* block : {"*Model_Space", "*Paper_Space", "*Paper_Space0"}) {
        dxf.writeBlock(dw, DL_BlockData(block, 0, 0.0, 0.0, 0.0));
        dxf.writeEndBlock(dw, block);
    }
    dw.sectionEnd();

    dw.sectionEntities();
    for (const Footprint& f : footprints) {
        dxf.writePolyline(dw, DL_PolylineData(4, 0, 0, 1), DL_Attributes(LayerName(f.type), 256, -1, "BYLAYER", 1.0));
        for (const auto& [x, y] : std::array<std::pair<double, double>, 4>{
                 {{f.xMin, f.yMin}, {f.xMax, f.yMin}, {f.xMax, f.yMax}, {f.xMin, f.yMax}}})
            dxf.writeVertex(dw, DL_VertexData(x, y, 0.0, 0.0));
        dxf.writePolylineEnd(dw);
    }
    dw.sectionEnd();
    dxf.writeObjects(dw);
    dxf.writeObjectsEnd(dw);
    dw.dxfEOF();
    dw.close();
    return EndsWithEof(file);
}

} // namespace

std::size_t CountPlanFootprints(const ProjectDescription& project) {
    return static_cast<std::size_t>(std::count_if(project.elements.begin(), project.elements.end(),
                                                  [](const ProjectElement& e) { return FootprintOf(e).has_value(); }));
}

bool UsablePictureParameters(const API_SavePars_Picture& params) noexcept {
    return params.colorDepth == APIColorDepth_TC24 || params.colorDepth == APIColorDepth_TC32;
}

std::optional<PictureSize> GetPlanPictureSize(const ProjectDescription& project, const API_SavePars_Picture& params) {
    if (!UsablePictureParameters(params)) return std::nullopt;
    const std::optional<Extent> extent = ExtentOf(Footprints(project));
    if (!Drawable(extent)) return std::nullopt;
    return PictureSizeFor(extent, params.crop != 0);
}

bool UsablePdfParameters(const API_SavePars_Pdf& params) noexcept {
    const PdfPage page = PageOf(params);
    const std::array<double, 6> all{page.left, page.top, page.right, page.bottom, page.width, page.height};
    if (!std::all_of(all.begin(), all.end(), [](double v) { return std::isfinite(v) && v >= 0.0; })) return false;
    if (page.width > PlanPdfMaximumSide || page.height > PlanPdfMaximumSide) return false;
    return page.width - page.left - page.right >= PlanPdfMinimumArea &&
           page.height - page.top - page.bottom >= PlanPdfMinimumArea;
}

bool WritePlanPicture(const std::filesystem::path& file, const ProjectDescription& project,
                      const API_SavePars_Picture& params, PlanPictureFormat format) {
    if (!UsablePictureParameters(params)) return false;
    const std::vector<Footprint> footprints = Footprints(project);
    const std::optional<Extent> extent = ExtentOf(footprints);
    if (!Drawable(extent)) return false;
    const PictureSize size = PictureSizeFor(extent, params.crop != 0);
    const std::vector<Paint> paint = Rasterise(footprints, extent, size);

    // A JPEG has no alpha channel, whatever the depth asks for.
    const bool alpha = format == PlanPictureFormat::Png && params.colorDepth == APIColorDepth_TC32;
    const std::size_t channels = alpha ? 4 : 3;
    std::vector<unsigned char> pixels(paint.size() * channels);
    for (std::size_t i = 0; i < paint.size(); ++i) {
        const Colour& colour =
            paint[i] == Paint::Edge ? EdgeColour : (paint[i] == Paint::Face ? FaceColour : BackgroundColour);
        std::copy(colour.begin(), colour.end(), pixels.begin() + static_cast<std::ptrdiff_t>(i * channels));
        if (alpha) pixels[i * channels + 3] = paint[i] == Paint::Background ? 0 : 255;
    }
    const bool written =
        format == PlanPictureFormat::Png ? WritePng(file, size, alpha, pixels) : WriteJpeg(file, size, pixels);
    if (!written) RemoveQuietly(file);
    return written;
}

bool WritePlanPdf(const std::filesystem::path& file, const ProjectDescription& project,
                  const API_SavePars_Pdf& params) {
    if (!UsablePdfParameters(params)) return false;
    const std::vector<Footprint> footprints = Footprints(project);
    if (!Drawable(ExtentOf(footprints))) return false;
    const bool written = DrawPdf(file, footprints, PageOf(params));
    if (!written) RemoveQuietly(file);
    return written;
}

bool WritePlanDxf(const std::filesystem::path& file, const ProjectDescription& project) {
    bool written = false;
    try {
        written = DrawDxf(file, Footprints(project));
    } catch (const std::exception&) {
        written = false; // the writer's strings can throw when memory is short
    }
    if (!written) RemoveQuietly(file);
    return written;
}

} // namespace HostSim
