// The root of the program's exception classes. Messages are UTF-8 text; a
// failure is raised where a check fails and caught where the program makes a
// user-visible decision.
#pragma once

#include <exception>
#include <string>
#include <utility>

namespace quenza {

class Exception : public std::exception {
 public:
  explicit Exception(std::string message) : message_(std::move(message)) {}

  const char* what() const noexcept override { return message_.c_str(); }
  const std::string& Message() const noexcept { return message_; }

 private:
  std::string message_;
};

}  // namespace quenza
