// A file load for the window: TFileLoader runs on a thread of its own, and
// Finished comes through the event loop once it has ended, however it ended.
// Destroying the load cancels it and waits for the thread.
#pragma once

#include <QObject>
#include <exception>
#include <string>
#include <thread>
#include <vector>

#include "FileLoader.h"

namespace quenza {

class TFileLoad : public QObject {
  Q_OBJECT

 public:
  TFileLoad(std::vector<std::string> paths, const TFileLoadOptions& options, QObject* parent = nullptr);
  ~TFileLoad() override;

  void Start();
  void Cancel() { loader_.Cancel(); }
  // Progress from any time; the text and Utf8() once Finished came.
  TFileLoader& Loader() { return loader_; }
  // Once Finished came: what the load raised, or null when it succeeded.
  std::exception_ptr Failure() const { return failure_; }

 signals:
  void Finished();

 private:
  TFileLoader loader_;
  std::thread thread_;
  std::exception_ptr failure_;
};

}  // namespace quenza
