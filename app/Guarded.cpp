#include "Guarded.h"

#include "Application.h"
#include "MessageDialogs.h"

namespace quenza {

void ReportUnhandled(std::exception_ptr failure) noexcept {
  try {
    try {
      std::rethrow_exception(failure);
    } catch (const std::exception& e) {
      if (Application) {
        Application->ShowException(e);
      } else {
        ShowErrorReport(e.what());
      }
    } catch (...) {
      ShowErrorReport("予期しないエラーが発生しました");
    }
  } catch (...) {
    // The report itself failed (no memory for a dialog): nothing is left to tell.
  }
}

}  // namespace quenza
