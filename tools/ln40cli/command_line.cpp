#include "command_line.h"

#include "text/error.h"

namespace ln40::cli {

CommandLine::CommandLine(const std::vector<std::string>& args, const OptionSpec& option_spec) {
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg.size() < 3 || arg.compare(0, 2, "--") != 0) {
      positional_.push_back(arg);
      continue;
    }
    std::string name = arg.substr(2);
    std::optional<std::string> value;
    if (const size_t equals = name.find('='); equals != std::string::npos) {
      value = name.substr(equals + 1);
      name.resize(equals);
    }
    if (option_spec.switches.count(name) && !value) {
      switches_.insert(name);
    } else if (option_spec.with_value.count(name)) {
      if (!value) {
        if (i + 1 >= args.size()) throw Error("Option --" + name + " needs a value");
        value = args[++i];
      }
      values_[name] = *value;
    } else {
      throw Error("Unknown option: --" + name);
    }
  }
}

bool CommandLine::Has(const std::string& name) const { return switches_.count(name) || values_.count(name); }

std::optional<std::string> CommandLine::Value(const std::string& name) const {
  const auto found = values_.find(name);
  if (found == values_.end()) return std::nullopt;
  return found->second;
}

}  // namespace ln40::cli
