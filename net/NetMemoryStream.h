// The in-memory stream a datagram is delivered in (AData): a block of bytes
// with a size and a read position.
//
// Takes: a size, then the bytes. Gives: the bytes from position 0. The rule a
// reader would miss: the server reuses one stream for every delivery, and
// growing or shrinking the size never frees or clears the memory, so filling
// it with the next datagram allocates nothing once it has held the largest.
// Lent to the handler for the call only.
#pragma once

#include <cstddef>
#include <memory>
#include <string_view>

namespace quenza {

class TNetMemoryStream {
 public:
  TNetMemoryStream() = default;
  TNetMemoryStream(const TNetMemoryStream&) = delete;
  TNetMemoryStream& operator=(const TNetMemoryStream&) = delete;

  char* Memory() noexcept { return memory_.get(); }
  const char* Memory() const noexcept { return memory_.get(); }
  // The bytes of the stream, whatever the position.
  std::string_view Bytes() const noexcept { return {memory_.get(), size_}; }

  std::size_t Size() const noexcept { return size_; }
  // Grows the memory when needed; the position is kept within the size.
  void SetSize(std::size_t size);
  std::size_t Position() const noexcept { return position_; }
  void SetPosition(std::size_t position) noexcept { position_ = position < size_ ? position : size_; }

  // Copies up to count bytes from the position on, advancing it; returns how many.
  std::size_t Read(void* buffer, std::size_t count) noexcept;

 private:
  std::unique_ptr<char[]> memory_;
  std::size_t capacity_ = 0;
  std::size_t size_ = 0;
  std::size_t position_ = 0;
};

}  // namespace quenza
