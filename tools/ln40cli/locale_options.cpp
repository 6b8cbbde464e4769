#include "locale_options.h"

#include "qt/qt_locale.h"
#include "text/codepage.h"
#include "text/error.h"

namespace ln40::cli {
namespace {

// A separator given on the command line (UTF-8) as one Windows-1252 character.
char SeparatorOption(const CommandLine& line, const std::string& name, char current) {
  const auto value = line.Value(name);
  if (!value) return current;
  const std::string text = Utf8ToCp1252(*value);
  if (text.size() != 1) throw Error("Option --" + name + " needs a single character");
  return text[0];
}

}  // namespace

void AddLocaleOptions(OptionSpec& option_spec) {
  option_spec.with_value.insert({"locale", "date-format", "time-format", "decimal-separator", "thousands-separator",
                          "list-separator"});
}

Locale LocaleFromOptions(const CommandLine& line) {
  Locale locale = line.Value("locale") ? NamedLocale(*line.Value("locale")) : SystemLocale();
  if (const auto format = line.Value("date-format")) {
    locale.shortDateFormat = Utf8ToCp1252(*format);
    locale.dateSeparator = PatternSeparator(locale.shortDateFormat, locale.dateSeparator);
  }
  if (const auto format = line.Value("time-format")) {
    locale.longTimeFormat = Utf8ToCp1252(*format);
    locale.timeSeparator = PatternSeparator(locale.longTimeFormat, locale.timeSeparator);
  }
  locale.decimalSeparator = SeparatorOption(line, "decimal-separator", locale.decimalSeparator);
  locale.thousandsSeparator = SeparatorOption(line, "thousands-separator", locale.thousandsSeparator);
  locale.listSeparator = SeparatorOption(line, "list-separator", locale.listSeparator);
  return locale;
}

}  // namespace ln40::cli
