#pragma once
// Regional settings from Qt Core's locale data, handed to the core as a plain Locale.
#include <string>

#include "text/locale.h"

class QLocale;

namespace ln40 {

Locale LocaleFromQt(const QLocale& qt_locale);

// The system's regional settings (LANG, LC_ALL, ...).
Locale SystemLocale();

// A named locale such as "nb-NO" or "en_US"; throws Error("Unknown locale: NAME").
Locale NamedLocale(const std::string& name);

// The first character of a date or time pattern that is neither a letter nor quoted:
// the separator the pattern uses, or `fallback` when it has none.
char PatternSeparator(const std::string& pattern, char fallback);

}  // namespace ln40
