#include "AtomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>

#include "FileError.h"
#include "FilePath.h"

namespace quenza {
namespace {

constexpr int kMaxLinkHops = 40;  // as the kernel's own limit

// Opens a fresh file beside `target`; the kernel applies the umask to 0666.
int CreateCompanion(const std::string& target, std::string& name) {
  static std::atomic<unsigned> counter{0};
  for (int attempt = 0; attempt < 100; ++attempt) {
    name = target + ".tmp" + std::to_string(getpid()) + "-" + std::to_string(counter++);
    const int fd = open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  errno = EEXIST;
  return -1;
}

// `path` with its chain of symbolic links followed to the first name that is
// no link: for a dangling link, the name it points at.
std::string ResolveFileLinks(const std::string& path) {
  std::string current = path;
  for (int hop = 0; hop < kMaxLinkHops; ++hop) {
    struct stat st {};
    if (lstat(current.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return current;
    std::string target(static_cast<std::size_t>(st.st_size > 0 ? st.st_size : 255) + 1, '\0');
    const ssize_t n = readlink(current.c_str(), target.data(), target.size());
    if (n < 0) return current;
    target.resize(static_cast<std::size_t>(n));
    current = (!target.empty() && target[0] == '/') ? target : FolderOf(current) + "/" + target;
  }
  return current;
}

}  // namespace

void WriteFileAtomically(const std::string& path, std::string_view bytes) {
  const std::string target = ResolveFileLinks(path);
  struct stat st {};
  const bool existed = stat(target.c_str(), &st) == 0;
  std::string temp;
  const int fd = CreateCompanion(target, temp);
  if (fd < 0) throw EFileCreateError(path, std::strerror(errno));
  int err = 0;
  const char* data = bytes.data();
  std::size_t left = bytes.size();
  while (left > 0) {
    const ssize_t n = write(fd, data, left);
    if (n < 0) {
      if (errno == EINTR) continue;
      err = errno;
      break;
    }
    data += n;
    left -= static_cast<std::size_t>(n);
  }
  if (err == 0 && existed && fchmod(fd, st.st_mode & 07777) != 0) err = errno;
  if (err == 0 && fsync(fd) != 0) err = errno;
  if (close(fd) != 0 && err == 0) err = errno;
  if (err == 0 && rename(temp.c_str(), target.c_str()) != 0) err = errno;
  if (err != 0) {
    unlink(temp.c_str());
    throw EFileWriteError(path, std::strerror(err));
  }
  // The rename itself lives in the folder: sync it too, so a crash right
  // after a save keeps the new file. A folder that refuses is no failure.
  const int dir = open(FolderOf(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    fsync(dir);
    close(dir);
  }
}

}  // namespace quenza
