#pragma once
// The data messages the simulated reader records: read from a script file or generated.
// A message is the line text without its final CR, plus the time from which the reader may
// send it (the moment the reader "recorded" the event). Sources are deterministic: the same
// settings give the same messages with the same times, so tests can predict them.
// Not thread-safe; each source has one owner.
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ln40::sim {

// Time since the simulator started.
using Millis = std::chrono::milliseconds;

struct ScheduledMessage {
  std::string text;  // what goes on the line before the CR
  Millis due{0};     // not sent before this time
};

// Hands out the messages in order; nullopt once there are no more.
class MessageSource {
 public:
  virtual ~MessageSource() = default;
  virtual std::optional<ScheduledMessage> Next() = 0;
};

// A small, fully specified random generator (splitmix64), so a seed gives the same choices
// with every compiler and standard library.
class SeededRandom {
 public:
  explicit SeededRandom(std::uint64_t seed) : state_(seed) {}
  std::uint64_t NextU64();
  // Uniform in [0, bound); bound must be above 0.
  std::uint64_t Below(std::uint64_t bound);
  // Uniform in [0, 1).
  double Unit();

 private:
  std::uint64_t state_;
};

// The reader clock of a message, "MMM:SS.ZZZ": minutes (three digits), seconds and
// milliseconds since the reader's zero. The minutes run 000 to 999 and then start again.
std::string FormatReaderClock(Millis clock);
// The inverse for exactly that layout; nullopt for anything else (seconds 60 or more too).
std::optional<Millis> ParseReaderClock(std::string_view text);

// The lines of a script file, one message per line, in order. A line end may be LF or CR LF;
// lines that are empty or hold only blanks and tabs are skipped; every other line is kept
// byte for byte. Throws std::runtime_error with the file name when the file cannot be read.
std::vector<std::string> ReadScript(const std::string& path);

// Fixed messages (a script), spaced 1000/rate ms apart from time 0; rate 0 makes them all
// due at once.
class MessageList : public MessageSource {
 public:
  MessageList(std::vector<std::string> texts, double rate);
  std::optional<ScheduledMessage> Next() override;

 private:
  std::vector<std::string> texts_;
  double rate_;
  std::size_t next_ = 0;
};

struct GeneratorSettings {
  std::uint64_t seed = 1;
  std::optional<std::int64_t> count;  // nullopt: no end
  double rate = 2;                    // messages a second on average; 0: all due at once
  Millis clock_start{0};              // the reader clock when the simulator starts
};

// Generated reader messages. Message n (counted from 1) is
//   kind letter, "01", n as six digits (zero padded, modulo 1000000), the reader clock.
// Kinds are mostly "A" and "B" (times with a start number), with some "C" (unknown),
// "D" (sync) and "F" (start time); when the count is known and at least 5, every kind
// appears at least once. The field after "01" counts up for every kind, so each message
// is unique (up to 999999 messages) and the start numbers of A and B rise.
// Events are spaced by random gaps of 0.5 to 1.5 times the mean interval 1000/rate ms
// (500 ms for rate 0); the reader clock is clock_start plus the event's time, and with a
// rate above 0 the event is due at that same time, so the clock runs with real time.
class MessageGenerator : public MessageSource {
 public:
  explicit MessageGenerator(const GeneratorSettings& settings);
  std::optional<ScheduledMessage> Next() override;

 private:
  char ChooseKind();

  GeneratorSettings settings_;
  SeededRandom random_;
  std::int64_t produced_ = 0;
  Millis elapsed_{0};
  std::string unseen_kinds_ = "ABCDF";
};

}  // namespace ln40::sim
