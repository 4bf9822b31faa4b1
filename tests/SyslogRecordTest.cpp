// The message record and the display line made from it, without a network:
// RFC 5424 headers (real `logger` output and the examples of RFC 5424
// itself), RFC 3164 headers, and messages without one. The receiver's own
// tag search (the pattern "<[0-9]+>") finds the tag, as in capture.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "DisplayLine.h"
#include "Exception.h"
#include "SyslogRecord.h"
#include "sjRegExp.h"

namespace quenza {
namespace {

TSyslogRecord Read(const std::string& text) {
  static TAWKStr tags;
  tags.SetRegExp("<[0-9]+>");
  TSyslogRecord r;
  r.address = "10.0.0.1";
  r.text = text;
  int start = 0, length = 0;
  if (tags.Match(r.text, start, length) > 0) {
    ReadRecordFields(r, static_cast<std::size_t>(start - 1), static_cast<std::size_t>(length));
  }
  return r;
}

// The receiver takes a tag that opens the text without the search: it must
// be the tag the search finds.
TEST(SyslogRecord, OpeningTagIsTheSearchedTag) {
  static TAWKStr tags;
  tags.SetRegExp("<[0-9]+>");
  const std::vector<std::string> texts = {"<13>x",
                                          "<0013>",
                                          "<1>",
                                          "<>x<13>",
                                          "<1",
                                          "<13a>",
                                          "x<13>",
                                          "<<13>",
                                          std::string("<1\0>", 4),
                                          std::string("\0<13>", 5),
                                          "<99999999999>"};
  for (const std::string& text : texts) {
    int start = 0, length = 0;
    const bool found = tags.Match(text, start, length) > 0;
    const std::size_t opening = OpeningTagLength(text);
    EXPECT_EQ(opening != 0, found && start == 1) << text;
    if (opening != 0) {
      EXPECT_EQ(opening, static_cast<std::size_t>(length)) << text;
    }
  }
}

// Lines without the date and address, which only prefix the text.
std::string Line(const TSyslogRecord& r, bool tidy, bool showSD = false, bool priority = true) {
  TDisplayOptions o;
  o.enableDate = false;
  o.enableIP = false;
  o.enablePriority = priority;
  o.tidy5424 = tidy;
  o.showSD = showSD;
  return FormatDisplayLine(r, o);
}

const std::string kSd = "[exampleSDID@32473 iut=\"3\" eventSource=\"Application\" eventID=\"1011\"]";

struct Rfc5424Row {
  const char* name;
  std::string datagram;
  std::string tidy;    // Tidy5424 on, ShowSD off
  std::string withSD;  // Tidy5424 and ShowSD on
  std::string host;
};

TEST(SyslogRecord, Rfc5424IsShownTidily) {
  const Rfc5424Row rows[] = {
      {"logger",
       "<156>1 2026-12-09T04:30:30.461784+00:00 vm myapp - - [timeQuality tzKnown=\"1\" isSynced=\"0\"] hello",
       "[LOCAL3/WARNING] vm myapp: hello",
       "[LOCAL3/WARNING] vm myapp: hello [timeQuality tzKnown=\"1\" isSynced=\"0\"]", "vm"},
      {"logger with PID, MSGID and escapes in SD-PARAM values",
       "<34>1 2026-12-09T04:30:36.650554+00:00 vm su 8622 ID47 [timeQuality tzKnown=\"1\" isSynced=\"0\"]"
       "[exampleSDID@32473 iut=\"3\" eventSource=\"Appli\\]c\\\\ation\" q=\"say \\\"hi\\\"\"] 'su root' failed",
       "[AUTH/CRITICAL] vm su[8622] ID47: 'su root' failed",
       "[AUTH/CRITICAL] vm su[8622] ID47: 'su root' failed [timeQuality tzKnown=\"1\" isSynced=\"0\"]"
       "[exampleSDID@32473 iut=\"3\" eventSource=\"Appli\\]c\\\\ation\" q=\"say \\\"hi\\\"\"]",
       "vm"},
      {"RFC 5424 example 1: BOM, no SD",
       "<34>1 2003-10-11T22:14:15.003Z mymachine.example.com su - ID47 - \xEF\xBB\xBF'su root' failed for lonvick",
       "[AUTH/CRITICAL] mymachine.example.com su ID47: 'su root' failed for lonvick",
       "[AUTH/CRITICAL] mymachine.example.com su ID47: 'su root' failed for lonvick", "mymachine.example.com"},
      {"RFC 5424 example 2: NILVALUE PROCID",
       "<165>1 2003-08-24T05:14:15.000003-07:00 192.0.2.1 myproc 8710 - - %% It's time to make the do-nuts.",
       "[LOCAL4/NOTICE] 192.0.2.1 myproc[8710]: %% It's time to make the do-nuts.",
       "[LOCAL4/NOTICE] 192.0.2.1 myproc[8710]: %% It's time to make the do-nuts.", "192.0.2.1"},
      {"RFC 5424 example 3: SD, BOM",
       "<165>1 2003-10-11T22:14:15.003Z mymachine.example.com evntslog - ID47 " + kSd +
           " \xEF\xBB\xBF"
           "An application event log entry...",
       "[LOCAL4/NOTICE] mymachine.example.com evntslog ID47: An application event log entry...",
       "[LOCAL4/NOTICE] mymachine.example.com evntslog ID47: An application event log entry... " + kSd,
       "mymachine.example.com"},
      {"RFC 5424 example 4: several SD-ELEMENTs, no MSG",
       "<165>1 2003-10-11T22:14:15.003Z mymachine.example.com evntslog - ID47 " + kSd +
           "[examplePriority@32473 class=\"high\"]",
       "[LOCAL4/NOTICE] mymachine.example.com evntslog ID47:",
       "[LOCAL4/NOTICE] mymachine.example.com evntslog ID47: " + kSd + "[examplePriority@32473 class=\"high\"]",
       "mymachine.example.com"},
      {"every field NILVALUE", "<13>1 - - - - - - just text", "[USER/NOTICE] just text", "[USER/NOTICE] just text",
       "10.0.0.1"},
      {"every field NILVALUE, no MSG", "<13>1 - - - - - -", "[USER/NOTICE]", "[USER/NOTICE]", "10.0.0.1"},
      {"MSGID alone", "<13>1 - - - - ID9 - x", "[USER/NOTICE] ID9: x", "[USER/NOTICE] ID9: x", "10.0.0.1"},
  };
  for (const auto& r : rows) {
    const TSyslogRecord record = Read(r.datagram);
    ASSERT_EQ(record.form, THeaderForm::Rfc5424) << r.name;
    EXPECT_EQ(Line(record, true), r.tidy) << r.name;
    EXPECT_EQ(Line(record, true, true), r.withSD) << r.name;
    EXPECT_EQ(record.Host(), r.host) << r.name;
    // Tidying off: today's bytes, the tag replaced and everything else as sent.
    EXPECT_EQ(Line(record, false, true),
              r.tidy.substr(0, r.tidy.find(']') + 1) + " " + r.datagram.substr(r.datagram.find('>') + 1))
        << r.name;
  }
}

TEST(SyslogRecord, Rfc5424FieldsAndTheRemovedTag) {
  const TSyslogRecord r = Read("<34>1 2003-10-11T22:14:15.003Z host su - ID47 - \xEF\xBB\xBFmsg");
  EXPECT_EQ(r.Field(r.rfc5424.timestamp), "2003-10-11T22:14:15.003Z");
  EXPECT_FALSE(r.rfc5424.procId.present);
  EXPECT_FALSE(r.rfc5424.structuredData.present);
  EXPECT_EQ(r.Field(r.rfc5424.msg), "msg");
  EXPECT_EQ(r.facility, 4);
  EXPECT_EQ(r.severity, 2);
  EXPECT_EQ(Line(r, true, false, false), "host su ID47: msg");
}

// What is no RFC 5424 header is shown as it came, exactly as before.
TEST(SyslogRecord, BrokenHeadersAreNoHeaders) {
  const struct {
    const char* name;
    std::string datagram;
  } rows[] = {
      {"cut in the header", "<13>1 2026-12-09T04:30:30Z vm myapp"},
      {"cut in the SD", "<13>1 - vm app - - [a b=\"c"},
      {"cut after an escape", "<13>1 - vm app - - [a b=\"c\\"},
      {"SD unclosed", "<13>1 - vm app - - [a b=\"c\" msg"},
      {"no space before MSG", "<13>1 - vm app - - [a]msg"},
      {"SD not an element", "<13>1 - vm app - - {a} msg"},
      {"version 0", "<13>0 - vm app - - - msg"},
      {"version of four digits", "<13>1234 - vm app - - - msg"},
      {"two spaces", "<13>1  - vm app - - - msg"},
      {"a tag further in", "x <13>1 - vm app - - - msg"},
      {"field with a control byte", "<13>1 - v\tm app - - - msg"},
  };
  for (const auto& r : rows) {
    const TSyslogRecord record = Read(r.datagram);
    EXPECT_NE(record.form, THeaderForm::Rfc5424) << r.name;
    const std::size_t tag = r.datagram.find('<');
    EXPECT_EQ(Line(record, true, true),
              r.datagram.substr(0, tag) + "[USER/NOTICE] " + r.datagram.substr(r.datagram.find('>') + 1))
        << r.name;
  }
}

TEST(SyslogRecord, Rfc3164HeadersAreReadAndNeverChanged) {
  const struct {
    const char* name;
    std::string datagram;
    const char *host, *tag, *pid, *msg;
  } rows[] = {
      {"logger --rfc3164", "<13>Dec  9 04:30:30 vm root: hello 3164", "vm", "root", "", "hello 3164"},
      {"with PID", "<30>Dec  9 04:30:30 vm sshd[8561]: accepted", "vm", "sshd", "8561", "accepted"},
      {"no host", "<30>Dec 19 04:30:30 sshd[8561]: accepted", "", "sshd", "8561", "accepted"},
      {"no host, no PID", "<30>Dec 19 04:30:30 cron: ran", "", "cron", "", "ran"},
      {"host, no tag", "<30>Oct 11 22:14:15 10.1.2.3 link down", "10.1.2.3", "", "", "link down"},
      {"time stamp alone", "<30>Oct 11 22:14:15", "", "", "", ""},
      // Former bugs: '[' and ']' as trail bytes (ム is 83 5B, ゾ 83 5D) are no brackets.
      {"katakana tag", "<30>Dec  9 04:30:30 vm \x83\x5B\x83\x5D[7]: m", "vm", "\x83\x5B\x83\x5D", "7", "m"},
  };
  for (const auto& r : rows) {
    const TSyslogRecord record = Read(r.datagram);
    ASSERT_EQ(record.form, THeaderForm::Rfc3164) << r.name;
    EXPECT_EQ(record.Field(record.rfc3164.hostname), r.host) << r.name;
    EXPECT_EQ(record.Field(record.rfc3164.tag), r.tag) << r.name;
    EXPECT_EQ(record.Field(record.rfc3164.pid), r.pid) << r.name;
    EXPECT_EQ(record.Field(record.rfc3164.msg), r.msg) << r.name;
    EXPECT_EQ(record.Host(), *r.host ? r.host : "10.0.0.1") << r.name;
    EXPECT_EQ(Line(record, true, true), Line(record, false)) << r.name;
    EXPECT_EQ(Line(record, true, true, false), r.datagram.substr(r.datagram.find('>') + 1)) << r.name;
  }
}

}  // namespace
}  // namespace quenza
