#ifndef TESTS_SUPPORT_TEMPFOLDER_HPP
#define TESTS_SUPPORT_TEMPFOLDER_HPP

#include <cstddef>
#include <filesystem>
#include <string>

namespace QuillmarTest {

// A fresh folder of its own under the system's temporary folder (mkdtemp), removed with everything in it. Its name
// is unique on the machine, so test processes running side by side never share or remove each other's folders.
// Throws std::runtime_error when no folder can be made.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::filesystem::path& Path() const noexcept { return path; }
    std::filesystem::path operator/(const std::filesystem::path& relative) const { return path / relative; }

private:
    std::filesystem::path path;
};

// Writes bytes to file, replacing it; throws std::runtime_error when that fails.
void WriteFile(const std::filesystem::path& file, const std::string& bytes);
// The bytes of file; "<missing>" when it cannot be read.
std::string ReadFile(const std::filesystem::path& file);
// Bytes that differ from position to position, so that a misplaced or lost block shows; the same for one seed.
std::string PatternBytes(std::size_t size, unsigned seed = 1);

} // namespace QuillmarTest

#endif
