#include "CommandLine.h"

#include <algorithm>
#include <array>
#include <string_view>

#include "Version.h"

namespace quenza {

namespace {

// The toolkit's own options that every program built on it accepts; each is
// passed on untouched. The first group takes a value.
constexpr std::array<std::string_view, 10> kToolkitOptionsWithValue = {
    "-platform", "-platformpluginpath", "-platformtheme",   "-plugin",       "-display",
    "-style",    "-stylesheet",         "-qwindowgeometry", "-qwindowtitle", "-qwindowicon"};
constexpr std::array<std::string_view, 5> kToolkitFlags = {"-reverse", "-widgetcount", "-nograb", "-dograb", "-sync"};

// The toolkit reads its options with one dash or two.
std::string_view SingleDash(std::string_view arg) {
  if (arg.size() > 2 && arg.substr(0, 2) == "--") arg.remove_prefix(1);
  return arg;
}

bool OneOf(std::string_view arg, auto const& options) {
  return std::find(options.begin(), options.end(), arg) != options.end();
}

}  // namespace

TCommandLine ParseCommandLine(const std::vector<std::string>& args) {
  TCommandLine result;
  bool options_ended = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    // A file named "-..." needs "--" before it; "-" alone and "" are refused as unknown.
    if (!arg.empty() && (options_ended || arg[0] != '-') && arg != "-") {
      if (!result.file.empty()) {
        result.action = TCommandAction::caRefuse;
        result.message = "開けるファイルは一つだけです / only one file can be opened: " + arg;
        return result;
      }
      result.file = arg;
      continue;
    }
    if (arg == "--") {
      options_ended = true;
      continue;
    }
    if (arg == "--help" || arg == "-h") {
      result.action = TCommandAction::caHelp;
      return result;
    }
    if (arg == "--version" || arg == "-v") {
      result.action = TCommandAction::caVersion;
      return result;
    }
    std::string_view option = SingleDash(arg);
    // "-style=fusion" is the toolkit's other spelling of "-style fusion".
    const size_t equals = option.find('=');
    const bool inline_value = equals != std::string_view::npos;
    if (inline_value) option = option.substr(0, equals);
    if (OneOf(option, kToolkitOptionsWithValue)) {
      if (!inline_value && i + 1 >= args.size()) {
        result.action = TCommandAction::caRefuse;
        result.message = "オプション " + arg + " には値が必要です / option " + arg + " needs a value";
        return result;
      }
      if (option == "-platform") result.namesPlatform = true;
      if (!inline_value) ++i;
      continue;
    }
    if (!inline_value && OneOf(option, kToolkitFlags)) continue;
    result.action = TCommandAction::caRefuse;
    result.message = "不明な引数です / unknown argument: " + arg;
    return result;
  }
  return result;
}

std::string UsageText(const std::string& program) {
  return "使い方 / Usage: " + program +
         " [オプション / options] [ファイル / FILE]\n"
         "\n"
         "syslog を UDP で受信して表示する (日本語) / A syslog receiver and viewer with a Japanese interface.\n"
         "ログの開始 (Ctrl+B) で設定したポート (既定 514) の受信を始めます。\n"
         "Begin log (Ctrl+B) listens on the configured UDP port (514 unless set otherwise).\n"
         "ファイルを一つ指定すると、起動時に開きます (UTF-8 のファイルは Shift_JIS に変換)。\n"
         "A FILE given is opened at start (a UTF-8 file is converted to Shift_JIS).\n"
         "\n"
         "  -h, --help       この説明を表示して終了 / show this help and exit\n"
         "  -v, --version    バージョンを表示して終了 / show the version and exit\n"
         "\n"
         "Qt の標準オプション (-platform, -display, -style など) もそのまま使えます。\n"
         "Qt's standard options (-platform, -display, -style, ...) are accepted as well.\n"
         "\n"
         "設定ファイル / Settings: 実行ファイルと同じフォルダーの quenza.ini (そこに書き込めるか既にある場合)、\n"
         "それ以外は $XDG_CONFIG_HOME/quenza/quenza.ini (既定 ~/.config/quenza/quenza.ini)。\n"
         "quenza.ini beside the executable when it exists or that folder is writable;\n"
         "otherwise $XDG_CONFIG_HOME/quenza/quenza.ini (~/.config/quenza/quenza.ini).\n";
}

std::string VersionText() { return std::string("Quenza ") + kQuenzaVersion + "\n"; }

bool HasDisplay(const TCommandLine& command, const char* display, const char* wayland_display,
                const char* qpa_platform) {
  auto set = [](const char* value) { return value != nullptr && *value != '\0'; };
  return command.namesPlatform || set(display) || set(wayland_display) || set(qpa_platform);
}

std::string NoDisplayText() {
  return "quenza: 画面 (ディスプレイ) がありません。デスクトップから起動するか DISPLAY か WAYLAND_DISPLAY "
         "を設定してください"
         " / no display: start it from a desktop session, or set DISPLAY or WAYLAND_DISPLAY\n";
}

}  // namespace quenza
