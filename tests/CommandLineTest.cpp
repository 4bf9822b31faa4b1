// The command line: the rules of the parser, then the real program run the
// way a user would from a terminal, with no display in its environment.
#include "CommandLine.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "Version.h"

namespace quenza {
namespace {

TEST(CommandLineParseTest, HelpVersionToolkitOptionsFileAndRefusals) {
  struct Row {
    std::vector<std::string> args;
    TCommandAction action;
    bool namesPlatform;
    std::string file = "";
    std::size_t refused = 0;  // the argument a refusal names
  } rows[] = {
      {{}, TCommandAction::caRun, false},
      {{"--help"}, TCommandAction::caHelp, false},
      {{"-h"}, TCommandAction::caHelp, false},
      {{"--version"}, TCommandAction::caVersion, false},
      {{"-v"}, TCommandAction::caVersion, false},
      // The toolkit's options go through, with their values, in both spellings.
      {{"-platform", "offscreen"}, TCommandAction::caRun, true},
      {{"--platform", "xcb", "-reverse"}, TCommandAction::caRun, true},
      {{"-style=fusion", "-display", ":1"}, TCommandAction::caRun, false},
      // A value is not taken for an option: "--help" after -style is the style's name.
      {{"-style", "--help"}, TCommandAction::caRun, false},
      {{"-platform"}, TCommandAction::caRefuse, false},
      {{"--bogus"}, TCommandAction::caRefuse, false},
      {{"-reverse=1"}, TCommandAction::caRefuse, false},
      {{"-"}, TCommandAction::caRefuse, false},
      {{""}, TCommandAction::caRefuse, false},
      // The first thing that decides wins.
      {{"--version", "--bogus"}, TCommandAction::caVersion, false},
      {{"--bogus", "--help"}, TCommandAction::caRefuse, false},
      // One file to open, among the options; an option's value is no file.
      {{"file.log"}, TCommandAction::caRun, false, "file.log"},
      {{"-platform", "offscreen", "/var/log/ログ.txt"}, TCommandAction::caRun, true, "/var/log/ログ.txt"},
      {{"a.log", "-reverse"}, TCommandAction::caRun, false, "a.log"},
      {{"-style", "fusion"}, TCommandAction::caRun, false, ""},
      // A name that looks like an option, after "--".
      {{"--", "-odd.log"}, TCommandAction::caRun, false, "-odd.log"},
      {{"-odd.log"}, TCommandAction::caRefuse, false},
      // A second file is refused by name.
      {{"a.log", "b.log"}, TCommandAction::caRefuse, false, "a.log", 1},
      {{"--", "a.log", "--"}, TCommandAction::caRefuse, false, "a.log", 2},
  };
  for (const Row& row : rows) {
    std::string shown;
    for (const std::string& a : row.args) shown += a + " ";
    const TCommandLine got = ParseCommandLine(row.args);
    EXPECT_EQ(got.action, row.action) << shown;
    EXPECT_EQ(got.namesPlatform, row.namesPlatform) << shown;
    EXPECT_EQ(got.file, row.file) << shown;
    if (row.action == TCommandAction::caRefuse) {
      EXPECT_NE(got.message.find(row.args[row.refused]), std::string::npos) << got.message;
    }
  }
}

TEST(CommandLineParseTest, DisplayFromTheEnvironmentOrAnExplicitPlatform) {
  const TCommandLine plain = ParseCommandLine({});
  EXPECT_FALSE(HasDisplay(plain, nullptr, nullptr, nullptr));
  EXPECT_FALSE(HasDisplay(plain, "", "", ""));  // set but empty is no display
  EXPECT_TRUE(HasDisplay(plain, ":0", nullptr, nullptr));
  EXPECT_TRUE(HasDisplay(plain, nullptr, "wayland-0", nullptr));
  EXPECT_TRUE(HasDisplay(plain, nullptr, nullptr, "offscreen"));
  EXPECT_TRUE(HasDisplay(ParseCommandLine({"-platform", "offscreen"}), nullptr, nullptr, nullptr));
}

struct TRun {
  int status = -1;
  std::string out, err;
};

std::string Drain(int fd) {
  std::string text;
  char buffer[4096];
  ssize_t n;
  while ((n = read(fd, buffer, sizeof buffer)) > 0) text.append(buffer, static_cast<size_t>(n));
  return text;
}

// Runs the built program with `args` in an environment of only `env`.
TRun RunProgram(const std::vector<std::string>& args, const std::vector<std::string>& env) {
  int out[2], err[2];
  if (pipe(out) != 0 || pipe(err) != 0) return {};
  const pid_t pid = fork();
  if (pid == 0) {
    dup2(out[1], 1);
    dup2(err[1], 2);
    close(out[0]);
    close(err[0]);
    std::vector<char*> argv{const_cast<char*>(QUENZA_EXE)};
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    std::vector<char*> envp;
    for (const std::string& e : env) envp.push_back(const_cast<char*>(e.c_str()));
    envp.push_back(nullptr);
    execve(QUENZA_EXE, argv.data(), envp.data());
    _exit(127);
  }
  close(out[1]);
  close(err[1]);
  TRun run;
  // Small outputs: reading one pipe to its end cannot block the other.
  run.out = Drain(out[0]);
  run.err = Drain(err[0]);
  close(out[0]);
  close(err[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : 1000 + WTERMSIG(status);
  return run;
}

const std::vector<std::string> kNoDisplay = {"PATH=/usr/bin:/bin", "HOME=/nonexistent", "LANG=C.UTF-8"};

TEST(CommandLineProgramTest, HelpAndVersionPrintAndSucceedWithoutADisplay) {
  const TRun help = RunProgram({"--help"}, kNoDisplay);
  EXPECT_EQ(help.status, 0);
  EXPECT_EQ(help.err, "");
  EXPECT_EQ(help.out, UsageText("quenza"));
  for (const char* part : {"--help", "--version", "quenza.ini", "~/.config/quenza/quenza.ini", "Usage"}) {
    EXPECT_NE(help.out.find(part), std::string::npos) << part;
  }

  const TRun version = RunProgram({"--version"}, kNoDisplay);
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out, std::string("Quenza ") + kQuenzaVersion + "\n");
  EXPECT_EQ(version.err, "");
}

TEST(CommandLineProgramTest, UnknownArgumentPrintsTheUsageAndExitsTwo) {
  const TRun run = RunProgram({"--frobnicate"}, kNoDisplay);
  EXPECT_EQ(run.status, kUsageExit);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err.rfind("quenza: ", 0), 0u) << run.err;
  EXPECT_NE(run.err.find("--frobnicate"), std::string::npos);
  EXPECT_NE(run.err.find(UsageText("quenza")), std::string::npos);
}

TEST(CommandLineProgramTest, TwoFilesPrintTheUsageAndExitTwo) {
  const TRun run = RunProgram({"first.log", "second.log"}, kNoDisplay);
  EXPECT_EQ(run.status, kUsageExit);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err.rfind("quenza: ", 0), 0u) << run.err;
  EXPECT_NE(run.err.find("second.log"), std::string::npos);
  EXPECT_NE(run.err.find(UsageText("quenza")), std::string::npos);
  // One file is no refusal: without a display it gets as far as saying so.
  EXPECT_EQ(RunProgram({"first.log"}, kNoDisplay).status, kNoDisplayExit);
}

TEST(CommandLineProgramTest, NoDisplayIsOneLineAndAFailureNotAnAbort) {
  const TRun run = RunProgram({}, kNoDisplay);
  EXPECT_EQ(run.status, kNoDisplayExit);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err, NoDisplayText());
  ASSERT_FALSE(run.err.empty());
  EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << "exactly one line";
  // Japanese first, then English.
  EXPECT_LT(run.err.find("画面"), run.err.find("no display"));
}

}  // namespace
}  // namespace quenza
