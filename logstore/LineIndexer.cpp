#include "LineIndexer.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace quenza {

const char* FindLineBreak(const char* from, const char* end) {
#if defined(__SSE2__)
  const __m128i cr = _mm_set1_epi8('\r');
  const __m128i lf = _mm_set1_epi8('\n');
  while (end - from >= 16) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from));
    const int mask = _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(v, cr), _mm_cmpeq_epi8(v, lf)));
    if (mask != 0) return from + __builtin_ctz(static_cast<unsigned>(mask));
    from += 16;
  }
#endif
  for (; from != end; ++from) {
    if (*from == '\r' || *from == '\n') return from;
  }
  return end;
}

}  // namespace quenza
