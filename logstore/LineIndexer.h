// Finding line breaks in a text that arrives in chunks. CR LF, a lone CR and
// a lone LF each end a line; a CR LF may be split across two chunks, so a CR
// at the end of a chunk is taken as a break at once and an LF opening the
// next chunk is then skipped. No byte of a Shift_JIS character other than
// its first can be CR or LF (trail bytes start at 0x40), so breaks are found
// bytewise in Shift_JIS as in UTF-8.
//
// The scan looks at 16 bytes at a time where the processor allows it: a file
// of a few hundred MB is read at the speed of memory, not of a byte loop.
#pragma once

#include <cstddef>
#include <string_view>

namespace quenza {

// The first CR or LF in [from, end), or end.
const char* FindLineBreak(const char* from, const char* end);

class TLineIndexer {
 public:
  // Calls bytes(piece) for the bytes of the current line in `chunk` and
  // lineEnd() at each break, in text order. A line cut by the chunk's end
  // gets its remaining bytes from the next Feed. Empty pieces are not passed.
  template <typename Bytes, typename LineEnd>
  void Feed(std::string_view chunk, Bytes&& bytes, LineEnd&& lineEnd) {
    const char* p = chunk.data();
    const char* const end = p + chunk.size();
    if (p != end && afterCr_ && *p == '\n') ++p;  // the LF of a CR LF split by the chunks
    afterCr_ = false;
    while (p != end) {
      const char* const brk = FindLineBreak(p, end);
      if (brk != p) bytes(std::string_view(p, static_cast<std::size_t>(brk - p)));
      if (brk == end) return;
      lineEnd();
      p = brk + 1;
      if (*brk == '\r') {
        if (p == end) {
          afterCr_ = true;
          return;
        }
        if (*p == '\n') ++p;
      }
    }
  }
  // Forgets a CR that ended the last chunk: the next text starts afresh.
  void Reset() { afterCr_ = false; }

 private:
  bool afterCr_ = false;
};

}  // namespace quenza
