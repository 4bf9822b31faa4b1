// Reading log files into the line store at the speed of the disk. One or more
// files become one text, in order (a file that does not end with a line
// break gets one before the next file); each file is read in large chunks,
// its breaks found by TLineIndexer, and its lines packed straight into a
// TLogStore::TBuilder with their metadata. For a large file a second thread
// reads the next chunks while this one packs, so both cores work.
//
// Each file is judged UTF-8 or Shift_JIS on its own, by IsUtf8Text's rule,
// as it is read; the bytes are packed as they are, and a file that turns out
// to be UTF-8 is converted line by line once read, each block freed as its
// lines are converted, so memory holds about one copy of the file at a time.
//
// Nothing here touches a view: Run builds a text the caller puts in place
// whole when it succeeds, so a failure or a cancel leaves nothing behind.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "Exception.h"
#include "LogStoreBuilder.h"

namespace quenza {

// The files hold more than the view's capacity (bytes plus one per break).
class EFileTooLarge : public Exception {
 public:
  EFileTooLarge(const std::string& path, std::uint64_t capacity);
};

// Cancel was called.
class ELoadCancelled : public Exception {
 public:
  ELoadCancelled() : Exception("読み込みを中止しました") {}
};

struct TFileLoadOptions {
  TLogStore::TBuilder::TMetaOf metaOf = nullptr;
  std::uint64_t capacity = TLogStore::kMaxSize;
  std::size_t blockBytes = TLogStore::kBlockBytes;
  std::size_t chunkBytes = 2 << 20;
  // Files of more than two chunks are read ahead on a thread of their own.
  bool readAhead = true;
};

class TFileLoader {
 public:
  explicit TFileLoader(std::vector<std::string> paths, TFileLoadOptions options = {});
  ~TFileLoader();
  TFileLoader(const TFileLoader&) = delete;
  TFileLoader& operator=(const TFileLoader&) = delete;

  // Reads every file. Raises Exception with the open-error text
  // (FileOpenErrorText) for a file that cannot be opened or read,
  // EFileTooLarge past the capacity (before reading when the sizes already
  // tell), ELoadCancelled after Cancel.
  void Run();
  // From any thread: Run stops at its next chunk and raises ELoadCancelled.
  void Cancel();
  bool Cancelled() const { return cancelled_; }

  // Progress, readable from any thread while Run works.
  std::uint64_t BytesRead() const { return bytesRead_; }
  // The files' sizes when the loader was made; 0 for what is no regular file.
  std::uint64_t TotalBytes() const { return totalBytes_; }
  // Every file was a regular file then, so TotalBytes is their size.
  bool SizesKnown() const { return sizesKnown_; }

  // After Run: whether a file was read as UTF-8 and converted.
  bool Utf8() const { return utf8_; }
  // After Run: the text, for TLogStore::TakeText.
  TLogStore::TBuilder& Text() { return text_; }

 private:
  class TReader;
  void LoadFile(TReader& reader, std::size_t file, bool last);

  std::vector<std::string> paths_;
  TFileLoadOptions options_;
  std::uint64_t totalBytes_ = 0;
  bool sizesKnown_ = true;
  std::atomic<bool> cancelled_{false};
  std::mutex readerMutex_;
  TReader* reader_ = nullptr;  // while Run reads
  std::atomic<std::uint64_t> bytesRead_{0};
  bool utf8_ = false;
  TLogStore::TBuilder text_;
};

}  // namespace quenza
