// The alternative (era) calendar behind the "g" and "e" tokens: which era a
// date falls in and its year within that era.
#pragma once

#include <optional>

#include "DateTimeFormat.h"

namespace quenza {

struct TEraDate {
  const TEra* Era;
  int Year;  // 1 in the era's first year
};

// Empty when the locale has no era calendar, the date is not a real date, or
// it lies before the first era.
std::optional<TEraDate> FindEraDate(const TLocaleFormatSettings& settings, const TDateTimeValue& value);

}  // namespace quenza
