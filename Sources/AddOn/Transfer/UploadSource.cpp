#include "UploadSource.hpp"

#include "Location.hpp"
#include "Name.hpp"

#include <cerrno>
#include <cstdint>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

UploadSource::UploadSource(const GS::UniString& filePath) : path(filePath) {
    // Through the location, so that a path text with "\" names the same file that the writer renamed into place.
    const int opened = ::open(IO::Location(filePath).ToFileSystemPath().c_str(), O_RDONLY | O_CLOEXEC);
    if (opened < 0) return;
    struct stat status {};
    if (::fstat(opened, &status) != 0 || !S_ISREG(status.st_mode)) {
        ::close(opened);
        return;
    }
    descriptor = opened;
    size = static_cast<std::uint64_t>(status.st_size);
}

UploadSource::~UploadSource() {
    if (descriptor >= 0) ::close(descriptor);
}

UploadSource::UploadSource(UploadSource&& other) noexcept
    : path(std::move(other.path)), descriptor(std::exchange(other.descriptor, -1)), size(other.size),
      position(other.position) {}

UploadSource& UploadSource::operator=(UploadSource&& other) noexcept {
    if (this != &other) {
        if (descriptor >= 0) ::close(descriptor);
        path = std::move(other.path);
        descriptor = std::exchange(other.descriptor, -1);
        size = other.size;
        position = other.position;
    }
    return *this;
}

GS::UniString UploadSource::GetName() const {
    IO::Name name;
    if (IO::Location(path).GetLastLocalName(&name) != NoError) return GS::UniString();
    return name.ToString();
}

std::size_t UploadSource::Read(char* buffer, std::size_t length) {
    if (descriptor < 0) return SIZE_MAX;
    // The announced size is what is sent: a file that grew is cut there, one that shrank fails the transfer.
    if (position >= size) return 0;
    const std::uint64_t left = size - position;
    if (length > left) length = static_cast<std::size_t>(left);
    ssize_t got = 0;
    do {
        got = ::pread(descriptor, buffer, length, static_cast<off_t>(position));
    } while (got < 0 && errno == EINTR);
    if (got <= 0) return SIZE_MAX;
    position += static_cast<std::uint64_t>(got);
    return static_cast<std::size_t>(got);
}

bool UploadSource::Seek(std::uint64_t offset) {
    if (descriptor < 0 || offset > size) return false;
    position = offset;
    return true;
}
