#include "FileLoad.h"

#include <utility>

namespace quenza {

TFileLoad::TFileLoad(std::vector<std::string> paths, const TFileLoadOptions& options, QObject* parent)
    : QObject(parent), loader_(std::move(paths), options) {}

TFileLoad::~TFileLoad() {
  loader_.Cancel();
  if (thread_.joinable()) thread_.join();
}

void TFileLoad::Start() {
  thread_ = std::thread([this] {
    try {
      loader_.Run();
    } catch (...) {
      failure_ = std::current_exception();
      // A failed or cancelled text goes here, not on the main thread.
      loader_.Text() = TLogStore::TBuilder();
    }
    // The join is what makes the thread's results visible to the main thread.
    QMetaObject::invokeMethod(
        this,
        [this] {
          thread_.join();
          emit Finished();
        },
        Qt::QueuedConnection);
  });
}

}  // namespace quenza
