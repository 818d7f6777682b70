#ifndef QUILLMAR_TRANSFER_UPLOADSOURCE_HPP
#define QUILLMAR_TRANSFER_UPLOADSOURCE_HPP

#include "UniString.hpp"

#include <cstddef>
#include <cstdint>

// A file held open by the upload job that sends it. Writers of upload files replace a file by renaming a new one
// into its place, so the bytes read through an open file are those it had when it was opened, whatever later
// exports do to the name. Move-only; closes on destruction.
class UploadSource {
public:
    // Opens `path` for reading; IsOpen() is false when it cannot be read.
    explicit UploadSource(const GS::UniString& path);
    ~UploadSource();
    UploadSource(UploadSource&& other) noexcept;
    UploadSource& operator=(UploadSource&& other) noexcept;
    UploadSource(const UploadSource&) = delete;
    UploadSource& operator=(const UploadSource&) = delete;

    bool IsOpen() const noexcept { return descriptor >= 0; }
    const GS::UniString& GetPath() const noexcept { return path; }
    // The last component of the path: the file name the form announces.
    GS::UniString GetName() const;
    std::uint64_t GetSize() const noexcept { return size; }

    // Reads from the current position; 0 at the end, SIZE_MAX on a read error. [worker] One reader at a time.
    std::size_t Read(char* buffer, std::size_t length);
    // Moves the position (a redirected form is sent again from its start); false when out of range.
    bool Seek(std::uint64_t offset);

private:
    GS::UniString path;
    int descriptor = -1;
    std::uint64_t size = 0;
    std::uint64_t position = 0;
};

#endif
