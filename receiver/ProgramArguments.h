// What an alert rule's program is given: its argument list, split from the
// rule's text the way a command line is split but never handed to a shell,
// and the message's fields as environment variables. A field is a value of
// its own variable and never becomes an argument, so nothing a sender writes
// can add or change an argument.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "Exception.h"

namespace quenza {

class EProgramArguments : public Exception {
 public:
  using Exception::Exception;
};

// Words separated by blanks; '...' keeps everything inside as written,
// "..." too except that \" and \\ stand for " and \; outside quotes a
// backslash takes the next character as it is. Raises EProgramArguments for
// a quote left open or a text with no word.
std::vector<std::string> SplitProgramArguments(std::string_view text);

struct TProgramFields {
  int rule = 0;  // 1-based, as the settings number it
  int severity = -1;
  int facility = -1;
  std::string host;     // UTF-8
  std::string address;  // UTF-8
  std::string text;     // the display line, UTF-8
};

// QUENZA_RULE, QUENZA_HOST, QUENZA_ADDRESS, QUENZA_SEVERITY (0-7, empty for
// none), QUENZA_SEVERITY_NAME, QUENZA_FACILITY (0-23, empty for none),
// QUENZA_FACILITY_NAME, QUENZA_TEXT.
std::vector<std::pair<std::string, std::string>> ProgramEnvironment(const TProgramFields& fields);

}  // namespace quenza
