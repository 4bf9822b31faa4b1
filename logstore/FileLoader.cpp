// The loader's two parts: TReader hands out the files' bytes chunk by chunk,
// either reading each chunk when asked or, for large files, from a thread of
// its own that keeps a few chunks ready ahead of the packing; LoadFile turns
// one file's chunks into lines.
//
// The rule a reader would miss: a chunk's memory is handed back to the
// reader as soon as its lines are packed, so only the part of a line cut by
// the chunk's end is ever copied aside (`carry`); every whole line goes from
// the chunk straight into its block.
#include "FileLoader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <condition_variable>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <string_view>
#include <system_error>
#include <thread>
#include <utility>

#include "FileError.h"
#include "LineIndexer.h"
#include "jconvert.h"

namespace quenza {

namespace {

// 2147483632 as "2,147,483,632".
std::string Grouped(std::uint64_t n) {
  const std::string digits = std::to_string(n);
  std::string out;
  for (std::size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) out += ',';
    out += digits[i];
  }
  return out;
}

[[noreturn]] void ThrowReadError(const std::string& path, int error) {
  throw Exception(FileOpenErrorText(path, std::error_code(error, std::generic_category()).message()));
}

// Reads until `size` bytes or the end of the file; returns how many.
std::size_t ReadFull(int fd, char* buffer, std::size_t size, const std::string& path) {
  std::size_t got = 0;
  while (got < size) {
    const ssize_t n = read(fd, buffer + got, size - got);
    if (n == 0) break;
    if (n < 0) {
      if (errno == EINTR) continue;
      ThrowReadError(path, errno);
    }
    got += static_cast<std::size_t>(n);
  }
  return got;
}

class TFile {
 public:
  // Without O_NONBLOCK a named pipe nobody writes to would hold the open,
  // and the thread, for ever; once open, reads wait as they should.
  explicit TFile(const std::string& path) : fd_(open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK)) {
    if (fd_ < 0) ThrowReadError(path, errno);
    fcntl(fd_, F_SETFL, fcntl(fd_, F_GETFL) & ~O_NONBLOCK);
    posix_fadvise(fd_, 0, 0, POSIX_FADV_SEQUENTIAL);
  }
  ~TFile() { close(fd_); }
  TFile(const TFile&) = delete;
  TFile& operator=(const TFile&) = delete;
  int Fd() const { return fd_; }

 private:
  int fd_;
};

}  // namespace

EFileTooLarge::EFileTooLarge(const std::string& path, std::uint64_t capacity)
    : Exception("ファイル \"" + path + "\" は大きすぎるため開けません。表示できるのは " + Grouped(capacity) +
                " 文字 (改行は 1 文字) までです。") {}

// --- Reading -----------------------------------------------------------------

class TFileLoader::TReader {
 public:
  struct TChunk {
    std::size_t file = 0;
    int buffer = -1;
    std::size_t size = 0;
    bool last = false;  // the file's last chunk
    std::exception_ptr failure;
  };

  TReader(const std::vector<std::string>& paths, std::size_t chunkBytes, bool ahead, std::atomic<bool>& cancelled,
          std::atomic<std::uint64_t>& bytesRead)
      : paths_(paths), chunkBytes_(chunkBytes), cancelled_(cancelled), bytesRead_(bytesRead) {
    const int buffers = ahead ? kBuffersAhead : 1;
    for (int i = 0; i < buffers; ++i) {
      // Not value-initialised: a small file touches only the pages it fills.
      buffers_.emplace_back(new char[chunkBytes_]);
      free_.push_back(i);
    }
    if (ahead) thread_ = std::thread([this] { ReadAhead(); });
  }

  ~TReader() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stopped_ = true;
    }
    changed_.notify_all();
    if (thread_.joinable()) thread_.join();
  }

  // The next chunk, in file order; raises what reading raised.
  TChunk Next() {
    TChunk chunk;
    if (thread_.joinable()) {
      std::unique_lock<std::mutex> lock(mutex_);
      changed_.wait(lock, [&] { return !ready_.empty() || cancelled_; });
      if (cancelled_) throw ELoadCancelled();
      chunk = std::move(ready_.front());
      ready_.pop_front();
    } else {
      chunk = ReadChunk(free_.front());
    }
    if (chunk.failure) std::rethrow_exception(chunk.failure);
    return chunk;
  }

  std::string_view Bytes(const TChunk& chunk) const { return {buffers_[chunk.buffer].get(), chunk.size}; }

  // The chunk's memory may be read into again.
  void Release(const TChunk& chunk) {
    if (!thread_.joinable()) return;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      free_.push_back(chunk.buffer);
    }
    changed_.notify_all();
  }

  // Wakes a Next waiting for a chunk, after Cancel.
  void WakeUp() {
    // Taking the lock orders the flag before a waiter's next test of it, so
    // the notification cannot fall between its test and its sleep.
    { std::lock_guard<std::mutex> lock(mutex_); }
    changed_.notify_all();
  }

 private:
  // One chunk being packed while the next is read: reading from the page
  // cache is several times faster than packing, so a third would only wait.
  static constexpr int kBuffersAhead = 2;

  // Reads the next chunk of the current file into `buffer`, opening the
  // files in turn.
  TChunk ReadChunk(int buffer) {
    TChunk chunk;
    chunk.file = file_;
    chunk.buffer = buffer;
    try {
      if (!open_) open_ = std::make_unique<TFile>(paths_[file_]);
      chunk.size = ReadFull(open_->Fd(), buffers_[buffer].get(), chunkBytes_, paths_[file_]);
      bytesRead_ += chunk.size;
    } catch (...) {
      chunk.failure = std::current_exception();
      return chunk;
    }
    if (chunk.size < chunkBytes_) {
      chunk.last = true;
      open_.reset();
      ++file_;
    }
    return chunk;
  }

  void ReadAhead() {
    while (file_ < paths_.size()) {
      int buffer = -1;
      {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [&] { return !free_.empty() || stopped_ || cancelled_; });
        if (stopped_ || cancelled_) return;
        buffer = free_.front();
        free_.pop_front();
      }
      TChunk chunk = ReadChunk(buffer);
      const bool failed = static_cast<bool>(chunk.failure);
      {
        std::lock_guard<std::mutex> lock(mutex_);
        ready_.push_back(std::move(chunk));
      }
      changed_.notify_all();
      if (failed) return;
    }
  }

  const std::vector<std::string>& paths_;
  const std::size_t chunkBytes_;
  std::atomic<bool>& cancelled_;
  std::atomic<std::uint64_t>& bytesRead_;
  std::vector<std::unique_ptr<char[]>> buffers_;
  // The file being read and the next to open: the reading thread's alone
  // while it runs, else the caller's.
  std::size_t file_ = 0;
  std::unique_ptr<TFile> open_;

  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<int> free_;
  std::deque<TChunk> ready_;
  bool stopped_ = false;
  std::thread thread_;
};

// --- Loading -----------------------------------------------------------------

TFileLoader::TFileLoader(std::vector<std::string> paths, TFileLoadOptions options)
    : paths_(std::move(paths)), options_(options), text_(options.metaOf, options.capacity, options.blockBytes) {
  for (const std::string& path : paths_) {
    struct stat st {};
    if (stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
      totalBytes_ += static_cast<std::uint64_t>(st.st_size);
    } else {
      sizesKnown_ = false;
    }
  }
}

TFileLoader::~TFileLoader() = default;

void TFileLoader::Run() {
  // Every break takes at most two bytes of a file and counts one, so half a
  // file's size is the least it can count: past that, nothing need be read.
  std::uint64_t least = 0;
  for (const std::string& path : paths_) {
    struct stat st {};
    if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
    least += (static_cast<std::uint64_t>(st.st_size) + 1) / 2;
    if (least > options_.capacity) throw EFileTooLarge(path, options_.capacity);
  }
  const bool ahead = options_.readAhead && totalBytes_ > 2 * std::uint64_t{options_.chunkBytes};
  TReader reader(paths_, options_.chunkBytes, ahead, cancelled_, bytesRead_);
  {
    std::lock_guard<std::mutex> lock(readerMutex_);
    reader_ = &reader;
  }
  struct TForget {  // Cancel must not reach the reader once it is gone
    TFileLoader& loader;
    ~TForget() {
      std::lock_guard<std::mutex> lock(loader.readerMutex_);
      loader.reader_ = nullptr;
    }
  } forget{*this};
  for (std::size_t file = 0; file < paths_.size(); ++file) LoadFile(reader, file, file + 1 == paths_.size());
}

void TFileLoader::Cancel() {
  cancelled_ = true;
  std::lock_guard<std::mutex> lock(readerMutex_);
  if (reader_ != nullptr) reader_->WakeUp();
}

void TFileLoader::LoadFile(TReader& reader, std::size_t file, bool last) {
  const std::string& path = paths_[file];
  const std::uint64_t used = text_.Size() + (text_.Lines() > 0 ? 1 : 0);
  TLogStore::TBuilder lines(options_.metaOf, options_.capacity > used ? options_.capacity - used : 0,
                            options_.blockBytes);
  TLineIndexer indexer;
  TUtf8TextCheck utf8;
  std::string carry;      // the start of a line cut by a chunk's end
  std::string_view held;  // a line's bytes in the current chunk
  bool holding = false;
  const auto add = [&](std::string_view line) {
    try {
      lines.AddLine(line);
    } catch (const ELogStoreFull&) {
      throw EFileTooLarge(path, options_.capacity);
    }
  };
  for (;;) {
    if (cancelled_) throw ELoadCancelled();
    const TReader::TChunk chunk = reader.Next();
    const std::string_view bytes = reader.Bytes(chunk);
    utf8.Feed(bytes);
    indexer.Feed(
        bytes,
        [&](std::string_view piece) {
          // A chunk gives each line at most one piece.
          if (carry.empty()) {
            held = piece;
            holding = true;
          } else {
            carry.append(piece);
          }
        },
        [&] {
          if (holding) {
            add(held);
            holding = false;
          } else {
            add(carry);
            carry.clear();
          }
        });
    if (holding) {
      carry.assign(held);
      holding = false;
    }
    reader.Release(chunk);
    if (chunk.last) break;
  }
  // The last line; between files, one that is empty (the file ended with a
  // break, or was empty) is no line of the text.
  if (last || !carry.empty()) add(carry);
  if (utf8.Result()) {
    utf8_ = true;
    TLogStore::TBuilder converted(options_.metaOf, lines.Capacity(), options_.blockBytes);
    std::size_t count = 0;
    lines.Drain([&](std::string_view line) {
      if ((++count & 0xFFF) == 0 && cancelled_) throw ELoadCancelled();
      try {
        converted.AddLine(Utf8ToSjis(line));
      } catch (const ELogStoreFull&) {
        throw EFileTooLarge(path, options_.capacity);
      }
    });
    lines = std::move(converted);
  }
  text_.Append(std::move(lines));
}

}  // namespace quenza
