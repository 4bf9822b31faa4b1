// Failures of the program's own file writes, with the path and the system's
// reason, so each caller can word its message as the behaviour asks.
#pragma once

#include <string>
#include <utility>

#include "Exception.h"

namespace quenza {

class EFileError : public Exception {
 public:
  EFileError(std::string path, std::string reason, std::string message)
      : Exception(std::move(message)), path_(std::move(path)), reason_(std::move(reason)) {}
  const std::string& Path() const noexcept { return path_; }
  const std::string& Reason() const noexcept { return reason_; }

 private:
  std::string path_;
  std::string reason_;
};

// The text shown when a file cannot be opened for reading, with the system's
// reason: the settings store and the view's 開く both word it so.
inline std::string FileOpenErrorText(const std::string& path, const std::string& reason) {
  return "ファイル \"" + path + "\". " + reason + " は開けません";
}

// The file (or its temporary companion) could not be created.
class EFileCreateError : public EFileError {
 public:
  EFileCreateError(const std::string& path, const std::string& reason)
      : EFileError(path, reason, "ファイル \"" + path + "\". " + reason + " を作成できません") {}
};

// Created, but writing, syncing or putting it in place failed.
class EFileWriteError : public EFileError {
 public:
  EFileWriteError(const std::string& path, const std::string& reason)
      : EFileError(path, reason, "ストリームへの書き込みに失敗しました") {}
};

}  // namespace quenza
