#pragma once
// --locale NAME and the options that override single regional settings.
#include "command_line.h"
#include "text/locale.h"

namespace ln40::cli {

// The option names this file reads, for a subcommand's OptionSpec.
void AddLocaleOptions(OptionSpec& option_spec);

// The system's settings, or those of --locale, with the overrides applied.
Locale LocaleFromOptions(const CommandLine& line);

}  // namespace ln40::cli
