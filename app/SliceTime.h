// Work on the main thread that can take long (find, filter passes) runs in
// slices of at most this many milliseconds, so input and paint get their turn.
#pragma once

namespace quenza {

inline constexpr int kSliceMs = 20;

// How often the main thread looks for chunks that worker threads finished.
inline constexpr int kWorkerPollMs = 2;

}  // namespace quenza
