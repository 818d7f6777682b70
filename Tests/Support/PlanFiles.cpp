#include "PlanFiles.hpp"

#include <dl_creationadapter.h>
#include <dl_dxf.h>
#include <png.h>
#include <poppler-document.h>
#include <poppler-global.h>
#include <poppler-image.h>
#include <poppler-page-renderer.h>
#include <poppler-page.h>

#include <cstdio> // before jpeglib.h, which uses FILE without including it
#include <jpeglib.h>

#include <algorithm>
#include <csetjmp>
#include <fstream>
#include <memory>

namespace QuillmarTest {

namespace {

struct JpegError {
    jpeg_error_mgr manager;
    std::jmp_buf jump;
};

[[noreturn]] void JpegFail(j_common_ptr info) {
    std::longjmp(reinterpret_cast<JpegError*>(info->err)->jump, 1);
}

void JpegQuiet(j_common_ptr) {}

// Only C objects live here, so the jump skips no destructor. The row buffer is the decompressor's own.
bool DecompressJpeg(std::FILE* in, ImageSize* size) {
    jpeg_decompress_struct info{};
    JpegError error{};
    info.err = jpeg_std_error(&error.manager);
    error.manager.error_exit = JpegFail;
    error.manager.output_message = JpegQuiet;
    if (setjmp(error.jump) != 0) {
        jpeg_destroy_decompress(&info);
        return false;
    }
    jpeg_create_decompress(&info);
    jpeg_stdio_src(&info, in);
    jpeg_read_header(&info, TRUE);
    jpeg_start_decompress(&info);
    const JDIMENSION rowBytes = info.output_width * static_cast<JDIMENSION>(info.output_components);
    JSAMPARRAY row = (*info.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&info), JPOOL_IMAGE, rowBytes, 1);
    while (info.output_scanline < info.output_height)
        jpeg_read_scanlines(&info, row, 1);
    // A file cut short decodes with a warning and grey rows; count it as broken.
    const bool whole = info.err->num_warnings == 0;
    *size = ImageSize{info.output_width, info.output_height, static_cast<unsigned>(info.num_components)};
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    return whole;
}

void PopplerQuiet(const std::string&, void*) {}

class PolylineReader : public DL_CreationAdapter {
public:
    void addPolyline(const DL_PolylineData& data) override {
        DxfPolyline polyline;
        polyline.layer = getAttributes().getLayer();
        polyline.closed = (data.flags & 1) != 0;
        polylines.push_back(std::move(polyline));
    }
    void addVertex(const DL_VertexData& data) override {
        if (!polylines.empty()) polylines.back().vertices.emplace_back(data.x, data.y);
    }

    std::vector<DxfPolyline> polylines;
};

// The DXF frame: after any comments (group 999) the first group is "0 / SECTION" and the last "0 / EOF"; group codes
// and values are lines of their own.
bool IsFramedDxf(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::string code;
    std::string value;
    std::pair<std::string, std::string> first;
    std::pair<std::string, std::string> last;
    const auto trimmed = [](const std::string& line) {
        const auto begin = line.find_first_not_of(" \t\r");
        const auto end = line.find_last_not_of(" \t\r");
        return begin == std::string::npos ? std::string() : line.substr(begin, end - begin + 1);
    };
    while (std::getline(in, code)) {
        if (!std::getline(in, value)) return false; // a group code without its value
        std::pair<std::string, std::string> group{trimmed(code), trimmed(value)};
        if (group.first == "999") continue;
        if (first.first.empty()) first = group;
        last = std::move(group);
    }
    return first == std::pair<std::string, std::string>{"0", "SECTION"} &&
           last == std::pair<std::string, std::string>{"0", "EOF"};
}

} // namespace

std::optional<ImageSize> PngSize(const std::filesystem::path& file) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (png_image_begin_read_from_file(&image, file.string().c_str()) == 0) return std::nullopt;
    const ImageSize size{image.width, image.height, PNG_IMAGE_SAMPLE_CHANNELS(image.format)};
    std::vector<png_byte> pixels(PNG_IMAGE_SIZE(image));
    const bool read = png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr) != 0;
    png_image_free(&image);
    if (!read) return std::nullopt;
    return size;
}

std::optional<ImageSize> JpegSize(const std::filesystem::path& file) {
    std::FILE* in = std::fopen(file.string().c_str(), "rb");
    if (in == nullptr) return std::nullopt;
    ImageSize size;
    const bool read = DecompressJpeg(in, &size);
    std::fclose(in);
    if (!read) return std::nullopt;
    return size;
}

std::optional<PageSize> PdfPageSize(const std::filesystem::path& file) {
    poppler::set_debug_error_function(PopplerQuiet, nullptr);
    const std::unique_ptr<poppler::document> document(poppler::document::load_from_file(file.string()));
    if (!document || document->is_locked() || document->pages() < 1) return std::nullopt;
    const std::unique_ptr<poppler::page> page(document->create_page(0));
    if (!page) return std::nullopt;
    const poppler::rectf box = page->page_rect(poppler::media_box);
    return PageSize{box.width(), box.height()};
}

std::optional<InkBox> PdfInkBox(const std::filesystem::path& file, double dpi) {
    poppler::set_debug_error_function(PopplerQuiet, nullptr);
    const std::unique_ptr<poppler::document> document(poppler::document::load_from_file(file.string()));
    if (!document || document->is_locked() || document->pages() < 1 || !poppler::page_renderer::can_render())
        return std::nullopt;
    const std::unique_ptr<poppler::page> page(document->create_page(0));
    if (!page) return std::nullopt;
    poppler::page_renderer renderer;
    renderer.set_image_format(poppler::image::format_gray8);
    const poppler::image image = renderer.render_page(page.get(), dpi, dpi);
    if (!image.is_valid()) return std::nullopt;
    InkBox box;
    const double pointsPerPixel = 72.0 / dpi;
    for (int y = 0; y < image.height(); ++y) {
        const auto* row = reinterpret_cast<const unsigned char*>(image.const_data()) +
                          static_cast<std::ptrdiff_t>(y) * image.bytes_per_row();
        for (int x = 0; x < image.width(); ++x) {
            if (row[x] >= 250) continue; // white, or nearly so at an anti-aliased border
            const double left = x * pointsPerPixel;
            const double top = y * pointsPerPixel;
            if (box.empty) box = InkBox{false, left, top, left + pointsPerPixel, top + pointsPerPixel};
            box.left = std::min(box.left, left);
            box.top = std::min(box.top, top);
            box.right = std::max(box.right, left + pointsPerPixel);
            box.bottom = std::max(box.bottom, top + pointsPerPixel);
        }
    }
    return box;
}

std::optional<std::vector<DxfPolyline>> DxfPolylines(const std::filesystem::path& file) {
    if (!IsFramedDxf(file)) return std::nullopt;
    PolylineReader reader;
    DL_Dxf dxf;
    if (!dxf.in(file.string(), &reader)) return std::nullopt;
    return std::move(reader.polylines);
}

std::optional<std::size_t> DxfPolylineCount(const std::filesystem::path& file) {
    const std::optional<std::vector<DxfPolyline>> polylines = DxfPolylines(file);
    if (!polylines) return std::nullopt;
    return polylines->size();
}

} // namespace QuillmarTest
