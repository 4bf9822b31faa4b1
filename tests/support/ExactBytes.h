// Test helper: a copy of some bytes in a heap block of exactly their size, with
// no terminator after them, so a routine that reads past the input trips
// AddressSanitizer.
#pragma once

#include <cstring>
#include <memory>
#include <string_view>

namespace quenza::test {

class ExactBytes {
 public:
  explicit ExactBytes(std::string_view bytes) : size_(bytes.size()), data_(new char[bytes.size() ? bytes.size() : 1]) {
    if (size_) std::memcpy(data_.get(), bytes.data(), size_);
  }
  std::size_t Size() const { return size_; }
  // The first length bytes; a view ending inside the block.
  std::string_view View(std::size_t length) const { return {data_.get(), length}; }
  std::string_view View() const { return View(size_); }

 private:
  std::size_t size_;
  std::unique_ptr<char[]> data_;
};

}  // namespace quenza::test
