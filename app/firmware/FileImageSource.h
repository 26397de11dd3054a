#pragma once
#include <cstdio>
#include <string>

#include "app/firmware/FirmwareImage.h"

namespace firmware {

// An image read from a file, opened for reading only for the life of the object.
class FileImageSource final : public ImageSource {
  public:
    // Throws std::runtime_error when the file cannot be opened.
    explicit FileImageSource(const std::string& path);
    ~FileImageSource() override;
    FileImageSource(const FileImageSource&) = delete;
    FileImageSource& operator=(const FileImageSource&) = delete;

    size_t ReadAt(uint64_t offset, uint8_t* buffer, size_t length) override;

  private:
    int fd_;
};

// An image held in memory (tests, fuzzing).
class MemoryImageSource final : public ImageSource {
  public:
    MemoryImageSource(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    size_t ReadAt(uint64_t offset, uint8_t* buffer, size_t length) override;

  private:
    const uint8_t* data_;
    size_t size_;
};

}  // namespace firmware
