#include "ProgramArguments.h"

#include "SyslogNames.h"

namespace quenza {

std::vector<std::string> SplitProgramArguments(std::string_view text) {
  std::vector<std::string> words;
  std::string word;
  bool inWord = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == ' ' || c == '\t' || c == '\n' || c == '\r') {
      if (inWord) words.push_back(std::move(word));
      word.clear();
      inWord = false;
      continue;
    }
    inWord = true;
    if (c == '\'') {
      const std::size_t close = text.find('\'', i + 1);
      if (close == std::string_view::npos) throw EProgramArguments("引用符 ' が閉じていません。");
      word.append(text.substr(i + 1, close - i - 1));
      i = close;
    } else if (c == '"') {
      for (++i;; ++i) {
        if (i >= text.size()) throw EProgramArguments("引用符 \" が閉じていません。");
        if (text[i] == '"') break;
        if (text[i] == '\\' && i + 1 < text.size() && (text[i + 1] == '"' || text[i + 1] == '\\')) ++i;
        word += text[i];
      }
    } else if (c == '\\' && i + 1 < text.size()) {
      word += text[++i];
    } else {
      word += c;
    }
  }
  if (inWord) words.push_back(std::move(word));
  if (words.empty()) throw EProgramArguments("実行するプログラムが指定されていません。");
  return words;
}

std::vector<std::pair<std::string, std::string>> ProgramEnvironment(const TProgramFields& f) {
  const bool hasSeverity = f.severity >= 0 && f.severity < static_cast<int>(kSeverityNames.size());
  const bool hasFacility = f.facility >= 0 && f.facility < static_cast<int>(kFacilityNames.size());
  return {
      {"QUENZA_RULE", std::to_string(f.rule)},
      {"QUENZA_HOST", f.host},
      {"QUENZA_ADDRESS", f.address},
      {"QUENZA_SEVERITY", hasSeverity ? std::to_string(f.severity) : std::string()},
      {"QUENZA_SEVERITY_NAME", hasSeverity ? std::string(kSeverityNames[f.severity]) : std::string()},
      {"QUENZA_FACILITY", hasFacility ? std::to_string(f.facility) : std::string()},
      {"QUENZA_FACILITY_NAME", hasFacility ? std::string(kFacilityNames[f.facility]) : std::string()},
      {"QUENZA_TEXT", f.text},
  };
}

}  // namespace quenza
