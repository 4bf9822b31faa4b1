// TNetMemoryStream: the memory only ever grows.
#include "NetMemoryStream.h"

#include <cstring>

namespace quenza {

void TNetMemoryStream::SetSize(std::size_t size) {
  if (size > capacity_) {
    auto grown = std::make_unique_for_overwrite<char[]>(size);
    if (size_ > 0) std::memcpy(grown.get(), memory_.get(), size_);
    memory_ = std::move(grown);
    capacity_ = size;
  }
  size_ = size;
  if (position_ > size_) position_ = size_;
}

std::size_t TNetMemoryStream::Read(void* buffer, std::size_t count) noexcept {
  const std::size_t n = count < size_ - position_ ? count : size_ - position_;
  if (n > 0) std::memcpy(buffer, memory_.get() + position_, n);
  position_ += n;
  return n;
}

}  // namespace quenza
