// ln40sim: a simulated LN40 timing reader on a pseudo-terminal, for tests and demonstrations
// without a real reader. The reader's behaviour is in SimulatedReader; this file moves its
// frames and the program's bytes over the terminal, paces them like a 1200 baud line and
// handles the command line, signals and the records.
#include <poll.h>
#include <signal.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <exception>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "message_source.h"
#include "options.h"
#include "pty_line.h"
#include "simulated_reader.h"

namespace {

using namespace ln40::sim;
using Clock = std::chrono::steady_clock;

// One byte at 1200 baud, 8N1: a start bit, 8 data bits and a stop bit.
constexpr std::chrono::microseconds kBytePeriod{10'000'000 / 1200};
// How long to wait before looking again when the terminal reports that no one holds it.
constexpr Millis kNoPeerPause{50};
// How long an exit waits for the program to read what is still in the terminal.
constexpr Millis kDrainLimit{1000};

volatile sig_atomic_t g_stop_signal = 0;

void OnStopSignal(int signal) { g_stop_signal = signal; }

// SIGINT, SIGTERM and SIGHUP end the simulator cleanly. They are blocked except while it
// waits in ppoll, so a signal can never slip in between a check and the wait.
sigset_t InstallStopSignals() {
  struct sigaction action {};
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  sigset_t stop_signals, previous;
  sigemptyset(&stop_signals);
  for (int s : {SIGINT, SIGTERM, SIGHUP}) {
    sigaction(s, &action, nullptr);
    sigaddset(&stop_signals, s);
  }
  signal(SIGPIPE, SIG_IGN);
  sigprocmask(SIG_BLOCK, &stop_signals, &previous);
  for (int s : {SIGINT, SIGTERM, SIGHUP}) sigdelset(&previous, s);
  return previous;
}

// The --sent file: one line per data message put on the line.
class SentRecord {
 public:
  explicit SentRecord(const std::optional<std::string>& path) {
    if (!path) return;
    file_ = std::fopen(path->c_str(), "a");
    if (!file_) throw std::runtime_error("cannot open '" + *path + "': " + std::strerror(errno));
  }
  ~SentRecord() {
    if (file_) std::fclose(file_);
  }
  SentRecord(const SentRecord&) = delete;
  SentRecord& operator=(const SentRecord&) = delete;

  void Add(const Frame& frame) {
    if (!file_) return;
    if (frame.kind == FrameKind::kResendEnd || frame.kind == FrameKind::kProbeAnswer) return;
    std::string text = frame.bytes;
    if (!text.empty() && text.back() == '\r') text.pop_back();
    std::fprintf(file_, "%s %s\n", FrameKindName(frame.kind), text.c_str());
    std::fflush(file_);
  }

  // A first sending lost on the way (--drop).
  void AddDropped(const Frame& frame) {
    if (!file_) return;
    std::string text = frame.bytes;
    if (!text.empty() && text.back() == '\r') text.pop_back();
    std::fprintf(file_, "drop %s\n", text.c_str());
    std::fflush(file_);
  }

 private:
  std::FILE* file_ = nullptr;
};

std::unique_ptr<MessageSource> MakeSource(const Options& options) {
  if (options.script) return std::make_unique<MessageList>(ReadScript(*options.script), options.EffectiveRate());
  GeneratorSettings settings;
  settings.seed = options.seed;
  settings.count = options.count;
  settings.rate = options.EffectiveRate();
  settings.clock_start = options.clock_start;
  return std::make_unique<MessageGenerator>(settings);
}

void PrintSummary(const ReaderStats& stats, std::optional<int> pulls) {
  std::cerr << "ln40sim: sent " << stats.sent << ", retried " << stats.retried << ", re-send requests "
            << stats.resend_requests << ", re-sent " << stats.resent << ", acknowledged " << stats.acknowledged
            << ", probes answered " << stats.probes_answered << ", stray acknowledgements " << stats.stray_acks
            << ", unknown lines " << stats.unknown_lines << ", noise " << stats.noise_frames;
  if (pulls) std::cerr << ", cable pulls " << *pulls;
  std::cerr << '\n';
}

timespec ToTimespec(Clock::duration d) {
  if (d < Clock::duration::zero()) d = Clock::duration::zero();
  const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(d);
  const auto nanoseconds = std::chrono::duration_cast<std::chrono::nanoseconds>(d - seconds);
  return timespec{static_cast<time_t>(seconds.count()), static_cast<long>(nanoseconds.count())};
}

enum class Ending { kSignal, kDone, kHungUp };

// A pulled cable (--pull-every): the terminal closes and its link goes, as a USB adapter's
// device does; after --pull-for a new terminal comes behind the same link. It is pulled
// once the program has read what was written (a second at most), so the records stay
// exact. False when a stop signal came meanwhile.
bool PullCable(const Options& options, SimulatedReader& reader, std::unique_ptr<PtyLine>& line,
               std::optional<DeviceLink>& link, const sigset_t& wait_mask) {
  line->Drain(kDrainLimit);
  line->HangUp();
  link.reset();
  const Clock::time_point back_at = Clock::now() + options.pull_for;
  while (!g_stop_signal && Clock::now() < back_at) {
    const timespec pause = ToTimespec(back_at - Clock::now());
    ::ppoll(nullptr, 0, &pause, &wait_mask);
  }
  if (g_stop_signal) return false;
  line = std::make_unique<PtyLine>();
  link.emplace(*options.link, line->DevicePath());
  reader.LineReplaced();
  return true;
}

// Runs the reader on the line until a stop signal, until it is done (--exit-when-done) or
// until it hangs up (--hangup-after). Pulled cables (--pull-every) replace `line`.
Ending RunLine(const Options& options, SimulatedReader& reader, std::unique_ptr<PtyLine>& line_holder,
               std::optional<DeviceLink>& link, SentRecord& record, const sigset_t& wait_mask, int& pulls) {
  const Clock::time_point start = Clock::now();
  const auto since_start = [start](Clock::time_point t) {
    return std::chrono::duration_cast<Millis>(t - start);
  };
  std::optional<Frame> frame;
  std::size_t written = 0;  // bytes of `frame` on the line
  Clock::time_point next_byte_at = start;
  std::optional<Millis> done_at;
  Clock::time_point no_peer_until = start;
  std::int64_t messages_sent = 0;  // first sendings, for --drop
  std::optional<Clock::time_point> next_pull_at;
  if (options.pull_every) next_pull_at = start + *options.pull_every;

  for (;;) {
    if (g_stop_signal) return Ending::kSignal;
    PtyLine& line = *line_holder;
    const Clock::time_point t = Clock::now();
    const Millis now = since_start(t);
    reader.Advance(now);
    if (options.hangup_after && reader.Stats().acknowledged >= *options.hangup_after) {
      line.HangUp();
      return Ending::kHungUp;
    }
    // A cable is pulled only between messages, so nothing is lost with it.
    if (next_pull_at && t >= *next_pull_at && !frame && reader.Idle()) {
      if (!PullCable(options, reader, line_holder, link, wait_mask)) return Ending::kSignal;
      ++pulls;
      no_peer_until = Clock::now();
      next_byte_at = Clock::now();
      next_pull_at = Clock::now() + *options.pull_every;
      continue;
    }

    bool blocked = false;  // the terminal's buffer is full
    if (!frame) {
      frame = reader.NextFrame(now);
      written = 0;
      // --drop: the reader believes it sent the message, but no byte reaches the program.
      if (frame && frame->kind == FrameKind::kMessage && options.drop.count(++messages_sent)) {
        reader.FrameSent(now);
        record.AddDropped(*frame);
        frame.reset();
        continue;
      }
    }
    if (frame) {
      const std::string_view rest = std::string_view(frame->bytes).substr(written);
      if (options.fast) {
        const std::size_t n = line.Write(rest);
        written += n;
        blocked = n < rest.size();
      } else if (t >= next_byte_at) {
        const std::size_t n = line.Write(rest.substr(0, 1));
        written += n;
        blocked = n == 0;
        if (n > 0) next_byte_at = std::max(next_byte_at, t) + kBytePeriod;
      }
      if (written == frame->bytes.size()) {
        reader.FrameSent(since_start(Clock::now()));
        record.Add(*frame);
        frame.reset();
        continue;
      }
    }

    if (options.exit_when_done && !frame && reader.Done()) {
      if (!done_at) done_at = now;
      if (now >= *done_at + options.linger) {
        line.Drain(kDrainLimit);
        return Ending::kDone;
      }
    }

    // Sleep until the next thing to do: input, room in the terminal, the next byte's slot,
    // a time the reader waits for, or the end of lingering.
    std::optional<Clock::time_point> wake;
    const auto consider = [&wake](Clock::time_point at) {
      if (!wake || at < *wake) wake = at;
    };
    if (const auto reader_wake = reader.NextWakeUp(now)) consider(start + *reader_wake);
    if (frame && !blocked && !options.fast) consider(next_byte_at);
    if (done_at) consider(start + *done_at + options.linger);
    if (next_pull_at && t < *next_pull_at) consider(*next_pull_at);
    const bool no_peer = t < no_peer_until;
    if (no_peer) consider(no_peer_until);

    pollfd watch{no_peer ? -1 : line.Fd(), static_cast<short>(POLLIN | (blocked ? POLLOUT : 0)), 0};
    timespec timeout{};
    if (wake) timeout = ToTimespec(*wake - Clock::now());
    const int ready = ::ppoll(&watch, 1, wake ? &timeout : nullptr, &wait_mask);
    if (ready < 0) {
      if (errno == EINTR) continue;
      throw std::system_error(errno, std::generic_category(), "cannot wait for the terminal");
    }
    if (watch.revents & (POLLIN | POLLHUP | POLLERR)) {
      std::string input;
      const PtyLine::ReadResult result = line.Read(input);
      if (!input.empty()) reader.Receive(input, since_start(Clock::now()));
      if (result == PtyLine::ReadResult::kNoPeer) no_peer_until = Clock::now() + kNoPeerPause;
    }
  }
}

int Run(const std::vector<std::string>& args) {
  // Help wins over everything else on the line, as with ln40cli.
  for (const std::string& arg : args) {
    if (arg == "--help" || arg == "-h") {
      std::cout << kHelp;
      return 0;
    }
  }
  const Options options = ParseOptions(args);
  if (options.help) {
    std::cout << kHelp;
    return 0;
  }
  const sigset_t wait_mask = InstallStopSignals();

  // Everything that can fail on the user's input fails before the device is announced.
  SentRecord record(options.sent_file);
  ReaderSettings settings;
  settings.ack_timeout = options.ack_timeout;
  settings.settle = options.settle;
  settings.noise_rate = options.noise_rate;
  settings.wait_for_program = options.wait_for_program;
  settings.noise_seed = options.seed ^ 0x6E6F697365ULL;
  SimulatedReader reader(MakeSource(options), settings);

  auto line = std::make_unique<PtyLine>();
  std::optional<DeviceLink> link;
  if (options.link) link.emplace(*options.link, line->DevicePath());
  std::cout << line->DevicePath() << std::endl;

  int pulls = 0;
  const Ending ending = RunLine(options, reader, line, link, record, wait_mask, pulls);
  if (ending == Ending::kHungUp && options.stay) {
    while (!g_stop_signal) ::ppoll(nullptr, 0, nullptr, &wait_mask);
  }
  PrintSummary(reader.Stats(), options.pull_every ? std::optional<int>(pulls) : std::nullopt);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    return Run(std::vector<std::string>(argv + 1, argv + argc));
  } catch (const UsageError& error) {
    std::cerr << "ln40sim: " << error.what() << "\n(ln40sim --help lists the options)\n";
    return 1;
  } catch (const std::exception& error) {
    std::cerr << "ln40sim: " << error.what() << '\n';
    return 1;
  }
}
