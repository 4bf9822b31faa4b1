// Replacing a whole file so that no failure leaves it half written: the bytes
// go to a new file beside the target, which is synced and then renamed over
// it. A symbolic link is followed and its target replaced, so the link stays
// a link; the target keeps its permission bits (a new file gets 0666 less
// the umask).
#pragma once

#include <string>
#include <string_view>

namespace quenza {

// Raises EFileCreateError when the new file cannot be created, and
// EFileWriteError when writing, syncing or renaming fails; either way the
// old file is untouched and no temporary file is left.
void WriteFileAtomically(const std::string& path, std::string_view bytes);

}  // namespace quenza
