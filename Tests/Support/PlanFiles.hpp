#ifndef TESTS_SUPPORT_PLANFILES_HPP
#define TESTS_SUPPORT_PLANFILES_HPP

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

// Reading back the plan files the simulated host writes, each with the library a user's tool would read it with.
// Every reader answers none for a file that is missing or not valid of its kind.
namespace QuillmarTest {

struct ImageSize {
    unsigned width = 0;
    unsigned height = 0;
    unsigned channels = 0; // as stored: 3 RGB, 4 RGBA (1 grey, 2 grey and alpha)
};

// In points (1/72 inch).
struct PageSize {
    double width = 0.0;
    double height = 0.0;
};

// Where a page is drawn on, in points from its top-left corner; empty for a blank page.
struct InkBox {
    bool empty = true;
    double left = 0.0;
    double top = 0.0;
    double right = 0.0;
    double bottom = 0.0;
};

struct DxfPolyline {
    std::string layer;
    bool closed = false;
    std::vector<std::pair<double, double>> vertices; // x, y
};

// Decodes the whole picture (libpng, libjpeg), so a file cut short is not valid.
std::optional<ImageSize> PngSize(const std::filesystem::path& file);
std::optional<ImageSize> JpegSize(const std::filesystem::path& file);
// The first page's media box (poppler); none for a document without pages or a locked one.
std::optional<PageSize> PdfPageSize(const std::filesystem::path& file);
// The box around whatever is not white on the first page, rendered at `dpi` (keep pages small: the rendering takes
// memory by its pixels).
std::optional<InkBox> PdfInkBox(const std::filesystem::path& file, double dpi = 72.0);
// The polylines of the drawing (dxflib), in the file's order; a valid file opens with a section and ends with the
// end-of-file group.
std::optional<std::vector<DxfPolyline>> DxfPolylines(const std::filesystem::path& file);
std::optional<std::size_t> DxfPolylineCount(const std::filesystem::path& file);

} // namespace QuillmarTest

#endif
