#pragma once
// The arguments of one ln40cli subcommand: positional arguments, options with a value
// ("--nulltime 10:00:00" or "--nulltime=10:00:00") and switches ("--ms").
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace ln40::cli {

struct OptionSpec {
  std::set<std::string> with_value;  // names without the leading "--"
  std::set<std::string> switches;
};

class CommandLine {
 public:
  // Throws Error for an unknown option or a missing value.
  CommandLine(const std::vector<std::string>& args, const OptionSpec& option_spec);

  const std::vector<std::string>& Positional() const { return positional_; }
  bool Has(const std::string& name) const;
  std::optional<std::string> Value(const std::string& name) const;

 private:
  std::vector<std::string> positional_;
  std::map<std::string, std::string> values_;
  std::set<std::string> switches_;
};

}  // namespace ln40::cli
