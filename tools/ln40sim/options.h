#pragma once
// The command line of ln40sim. Options take their value as the next argument or after "="
// ("--count 20", "--count=20"). Scripts and tests rely on these names; keep them stable.
#include <cstdint>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "message_source.h"

namespace ln40::sim {

extern const char* const kHelp;

// A command line that cannot be used; the text says why.
class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct Options {
  bool help = false;
  std::optional<std::string> script;        // --script FILE
  std::optional<std::int64_t> count;        // --count N; nullopt: no end
  std::optional<double> rate;               // --rate N; nullopt: the default below
  std::uint64_t seed = 1;                   // --seed N
  Millis clock_start{0};                    // --clock-start MMM:SS.ZZZ
  bool fast = false;                        // --fast
  bool wait_for_program = false;            // --wait-for-program
  Millis ack_timeout{1000};                 // --ack-timeout MS
  Millis settle{30};                        // --settle MS
  std::optional<std::string> sent_file;     // --sent FILE
  std::optional<std::string> link;          // --link PATH
  std::optional<std::int64_t> hangup_after; // --hangup-after N
  bool stay = false;                        // --stay
  bool exit_when_done = false;              // --exit-when-done
  Millis linger{0};                         // --linger MS
  double noise_rate = 0;                    // --noise-rate P
  std::set<std::int64_t> drop;              // --drop N,...: first sendings lost on the way
  std::optional<Millis> pull_every;         // --pull-every MS
  Millis pull_for{2000};                    // --pull-for MS

  // Messages a second: --rate when given, else 0 (no spacing) with --fast, else 2.
  double EffectiveRate() const { return rate ? *rate : fast ? 0.0 : 2.0; }
};

// Throws UsageError for an unknown option, a missing or bad value, or options that do not
// go together.
Options ParseOptions(const std::vector<std::string>& args);

}  // namespace ln40::sim
