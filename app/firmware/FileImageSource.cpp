#include "app/firmware/FileImageSource.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace firmware {

FileImageSource::FileImageSource(const std::string& path)
    : fd_(::open(path.c_str(), O_RDONLY | O_CLOEXEC)) {
    if (fd_ < 0) {
        throw std::runtime_error("cannot open " + path + ": " + std::strerror(errno));
    }
}

FileImageSource::~FileImageSource() {
    ::close(fd_);
}

size_t FileImageSource::ReadAt(uint64_t offset, uint8_t* buffer, size_t length) {
    size_t done = 0;
    while (done < length) {
        const ssize_t n =
            ::pread(fd_, buffer + done, length - done, static_cast<off_t>(offset + done));
        if (n == 0) {
            break;
        }
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            throw std::runtime_error(std::string("read failed: ") + std::strerror(errno));
        }
        done += static_cast<size_t>(n);
    }
    return done;
}

size_t MemoryImageSource::ReadAt(uint64_t offset, uint8_t* buffer, size_t length) {
    if (offset >= size_) {
        return 0;
    }
    const size_t n = std::min<uint64_t>(length, size_ - offset);
    std::memcpy(buffer, data_ + offset, n);
    return n;
}

}  // namespace firmware
