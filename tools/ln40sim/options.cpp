#include "options.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <map>

namespace ln40::sim {

const char* const kHelp =
    "Usage: ln40sim [options]\n"
    "\n"
    "A simulated LN40 timing reader on a pseudo-terminal. Prints the terminal's device path\n"
    "as the first line on stdout, then behaves like a reader on a 1200 baud line: sends its\n"
    "data messages one at a time and waits for each acknowledgement \"+\" CR, sends a message\n"
    "again when no acknowledgement comes, answers the probe \"?\" CR with \"-\" CR, and answers\n"
    "the re-send request \"!-NNNN\" CR with its last NNNN sent messages followed by \"+\" CR.\n"
    "Runs until SIGINT or SIGTERM unless told otherwise below; prints a summary on stderr.\n"
    "\n"
    "Messages (generated unless --script is given):\n"
    "  --script FILE        send the lines of FILE, one message per line, as written, each\n"
    "                       followed by CR; empty and blank lines are skipped\n"
    "  --count N            generate N messages (default: no end); 0 sends none\n"
    "  --rate N             messages a second, a decimal number; 0: each message as soon as\n"
    "                       the previous one is acknowledged (default 2, with --fast 0)\n"
    "  --seed N             seed of the random choices of generated messages (default 1)\n"
    "  --clock-start T      reader clock at start, MMM:SS.ZZZ (default 000:00.000)\n"
    "  Generated message n: kind letter (mostly A and B, some C, D, F), \"01\", n as six digits,\n"
    "  the reader clock MMM:SS.ZZZ rising with time; every message is unique.\n"
    "\n"
    "Line:\n"
    "  --link PATH          also make PATH a symbolic link to the device (replaces an older\n"
    "                       link, never another kind of file; removed at exit)\n"
    "  --fast               write without the pacing of 1200 baud (about 8.33 ms a byte)\n"
    "  --ack-timeout MS     send a message again after MS ms without \"+\" CR (default 1000);\n"
    "                       the reader never gives up\n"
    "  --settle MS          quiet time after a \"+\" CR before it counts as an acknowledgement;\n"
    "                       a \"!-NNNN\" CR within it makes the \"+\" part of a re-send\n"
    "                       request instead (default 30)\n"
    "  --wait-for-program   send no message before the first byte from the program (usually\n"
    "                       its probe), so none is written before it has set up its port\n"
    "  --noise-rate P       chance (0 to 1) of a run of 1 to 8 random printable bytes and a\n"
    "                       CR before each new message (default 0)\n"
    "  --drop N,...         lose the first sending of data messages N,... (counted from 1)\n"
    "                       on the way, as a disturbed line would: nothing reaches the\n"
    "                       program, no acknowledgement comes, and the reader sends the\n"
    "                       message again after --ack-timeout\n"
    "  --pull-every MS      pull the cable every MS ms: at the next moment when nothing is on\n"
    "                       its way, close the terminal and remove the --link, then after\n"
    "                       --pull-for MS ms (default 2000) open a new terminal behind the same\n"
    "                       --link; the next message waits for the program's first byte\n"
    "\n"
    "Ending and records:\n"
    "  --exit-when-done     exit with status 0 once every message is acknowledged\n"
    "  --linger MS          with --exit-when-done: keep answering for MS ms more first\n"
    "  --hangup-after N     close the line after N acknowledgements (a pulled cable), then exit\n"
    "  --stay               with --hangup-after: after closing the line, wait for a signal\n"
    "  --sent FILE          append a line per data message put on the line: \"send\", \"retry\"\n"
    "                       (no acknowledgement came), \"resend\" (re-send request), \"noise\"\n"
    "                       or \"drop\" (lost on the way, --drop),\n"
    "                       a blank, and the message without its CR\n"
    "  --help               show this text\n"
    "\n"
    "Exit status 0 on success; 1 with a message on stderr on a bad command line, an unreadable\n"
    "script or a failing terminal.\n";

namespace {

std::int64_t ReadCount(const std::string& name, const std::string& value, std::int64_t max) {
  if (value.empty() || value.find_first_not_of("0123456789") != std::string::npos) {
    throw UsageError("--" + name + " wants a whole number of 0 or more, not '" + value + "'");
  }
  errno = 0;
  const long long n = std::strtoll(value.c_str(), nullptr, 10);
  if (errno == ERANGE || n > max) {
    throw UsageError("--" + name + " must be at most " + std::to_string(max) + ", not " + value);
  }
  return n;
}

double ReadDecimal(const std::string& name, const std::string& value, double max) {
  char* end = nullptr;
  const double x = std::strtod(value.c_str(), &end);
  // Plain decimal notation only: strtod would also take blanks, "inf" and hexadecimal.
  if (value.empty() || value.find_first_not_of("0123456789.") != std::string::npos || end != value.c_str() + value.size() || !std::isfinite(x) || x < 0 || x > max) {
    throw UsageError("--" + name + " wants a number from 0 to " + std::to_string(static_cast<long long>(max)) +
                     ", not '" + value + "'");
  }
  return x;
}

constexpr std::int64_t kMaxMillis = 24LL * 3600 * 1000;

}  // namespace

Options ParseOptions(const std::vector<std::string>& args) {
  Options options;
  using Setter = std::function<void(const std::string&)>;
  const std::map<std::string, Setter> with_value = {
      {"script", [&](const std::string& v) { options.script = v; }},
      {"count", [&](const std::string& v) { options.count = ReadCount("count", v, 999999); }},
      {"rate", [&](const std::string& v) { options.rate = ReadDecimal("rate", v, 1000); }},
      {"seed", [&](const std::string& v) { options.seed = ReadCount("seed", v, INT64_MAX); }},
      {"clock-start",
       [&](const std::string& v) {
         const auto clock = ParseReaderClock(v);
         if (!clock) throw UsageError("--clock-start wants MMM:SS.ZZZ, not '" + v + "'");
         options.clock_start = *clock;
       }},
      {"ack-timeout",
       [&](const std::string& v) {
         options.ack_timeout = Millis{ReadCount("ack-timeout", v, kMaxMillis)};
         if (options.ack_timeout.count() == 0) throw UsageError("--ack-timeout must be above 0");
       }},
      {"settle", [&](const std::string& v) { options.settle = Millis{ReadCount("settle", v, kMaxMillis)}; }},
      {"sent", [&](const std::string& v) { options.sent_file = v; }},
      {"link", [&](const std::string& v) { options.link = v; }},
      {"hangup-after", [&](const std::string& v) { options.hangup_after = ReadCount("hangup-after", v, INT64_MAX); }},
      {"linger", [&](const std::string& v) { options.linger = Millis{ReadCount("linger", v, kMaxMillis)}; }},
      {"noise-rate", [&](const std::string& v) { options.noise_rate = ReadDecimal("noise-rate", v, 1); }},
      {"drop",
       [&](const std::string& v) {
         std::size_t start = 0;
         do {
           const std::size_t comma = std::min(v.find(',', start), v.size());
           const std::int64_t n = ReadCount("drop", v.substr(start, comma - start), 999999);
           if (n == 0) throw UsageError("--drop counts messages from 1");
           options.drop.insert(n);
           start = comma + 1;
         } while (start <= v.size());
       }},
      {"pull-every",
       [&](const std::string& v) {
         options.pull_every = Millis{ReadCount("pull-every", v, kMaxMillis)};
         if (options.pull_every->count() == 0) throw UsageError("--pull-every must be above 0");
       }},
      {"pull-for", [&](const std::string& v) { options.pull_for = Millis{ReadCount("pull-for", v, kMaxMillis)}; }},
  };
  const std::map<std::string, bool*> switches = {
      {"help", &options.help},   {"fast", &options.fast}, {"stay", &options.stay},
      {"wait-for-program", &options.wait_for_program},
      {"exit-when-done", &options.exit_when_done},
  };

  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "-h") {
      options.help = true;
      continue;
    }
    if (arg.rfind("--", 0) != 0) throw UsageError("unexpected argument '" + arg + "'");
    std::string name = arg.substr(2);
    std::optional<std::string> value;
    if (const std::size_t eq = name.find('='); eq != std::string::npos) {
      value = name.substr(eq + 1);
      name.resize(eq);
    }
    if (const auto sw = switches.find(name); sw != switches.end()) {
      if (value) throw UsageError("--" + name + " takes no value");
      *sw->second = true;
      continue;
    }
    const auto setter = with_value.find(name);
    if (setter == with_value.end()) throw UsageError("unknown option '" + arg + "'");
    if (!value) {
      if (i + 1 >= args.size()) throw UsageError("--" + name + " wants a value");
      value = args[++i];
    }
    setter->second(*value);
  }

  if (options.help) return options;
  if (options.script && options.count) throw UsageError("--script and --count do not go together");
  if (options.stay && !options.hangup_after) throw UsageError("--stay goes with --hangup-after");
  if (options.pull_every && !options.link) throw UsageError("--pull-every goes with --link");
  if (options.linger.count() > 0 && !options.exit_when_done) {
    throw UsageError("--linger goes with --exit-when-done");
  }
  return options;
}

}  // namespace ln40::sim
