// The loading rules that turn raw regional values into the settings record
// the formatter reads: defaults for unreadable items, English names for empty
// ones, one-byte separators, the date formats translated by calendar type and
// the time formats built from the clock items.
#pragma once

#include <string>
#include <string_view>

#include "DateTimeFormat.h"
#include "LocaleTables.h"

namespace quenza {

TLocaleFormatSettings BuildLocaleFormatSettings(const TLocaleInfo& info);

// The system date format in the format language, for a calendar type.
std::string TranslateDateFormat(std::string_view systemFormat, int calendarType, int primaryLangId);

// LC_ALL, LC_TIME or LANG, the first one set and not empty; "" when none is.
std::string UserLocaleName();

}  // namespace quenza
