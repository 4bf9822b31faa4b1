// The character-equivalence dictionary: 145 rows of characters that loose
// ("fuzzy") matching treats as one, each row an ordered list of Shift_JIS
// members. Takes nothing, gives one process-wide, read-only dictionary built
// once, before any component uses it. The rules a reader would miss: rows are
// written as comma texts, so a member holding a space, a comma or a double
// quote is quoted (rows 37, 39, 69), and row 49's trailing comma is a real,
// empty fourth member, which lets a long-vowel mark be absent from the text.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "sjRegExpPreProcessor.h"

namespace quenza {

// Splits a comma text: members end at a comma or, outside double quotes, at
// a space or control character; a quoted member may hold both, with "" for
// one quote; leading spaces are skipped; a comma at the very end adds an
// empty member.
std::vector<std::string> SplitCommaText(std::string_view text);

const TREDictionary& CharEquivalenceDic();

}  // namespace quenza
