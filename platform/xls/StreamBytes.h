#pragma once
// Memory for a whole workbook stream, mapped with its pages in place: a stream of megabytes
// read into fresh memory would otherwise take one page fault per page as it is written, and
// a cleared vector writes every byte twice.
#include <sys/mman.h>

#include <cstdint>
#include <new>
#include <span>
#include <utility>

namespace morvane::platform {

class StreamBytes {
 public:
  StreamBytes() = default;
  // Throws std::bad_alloc when the memory cannot be had.
  explicit StreamBytes(std::size_t size) : size_(size) {
    if (size == 0) return;
    void* mapped = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_POPULATE, -1, 0);
    if (mapped == MAP_FAILED) throw std::bad_alloc();
    data_ = static_cast<std::uint8_t*>(mapped);
  }
  ~StreamBytes() {
    if (data_) ::munmap(data_, size_);
  }
  StreamBytes(StreamBytes&& other) noexcept
      : data_(std::exchange(other.data_, nullptr)), size_(std::exchange(other.size_, 0)) {}
  StreamBytes& operator=(StreamBytes&& other) noexcept {
    if (this != &other) {
      if (data_) ::munmap(data_, size_);
      data_ = std::exchange(other.data_, nullptr);
      size_ = std::exchange(other.size_, 0);
    }
    return *this;
  }
  StreamBytes(const StreamBytes&) = delete;
  StreamBytes& operator=(const StreamBytes&) = delete;

  std::uint8_t* data() { return data_; }
  std::size_t size() const { return size_; }
  std::span<const std::uint8_t> bytes() const { return {data_, size_}; }

 private:
  std::uint8_t* data_ = nullptr;
  std::size_t size_ = 0;
};

}  // namespace morvane::platform
