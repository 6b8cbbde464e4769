#include "message_source.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <stdexcept>

namespace ln40::sim {

namespace {

std::string ZeroPadded(std::int64_t value, int width) {
  std::string text = std::to_string(value);
  if (static_cast<int>(text.size()) < width) text.insert(0, width - text.size(), '0');
  return text;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

int Digits(std::string_view text) {
  int value = 0;
  for (char c : text) value = value * 10 + (c - '0');
  return value;
}

bool IsBlank(std::string_view line) {
  return std::all_of(line.begin(), line.end(), [](char c) { return c == ' ' || c == '\t'; });
}

}  // namespace

std::uint64_t SeededRandom::NextU64() {
  std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ULL);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
  return z ^ (z >> 31);
}

std::uint64_t SeededRandom::Below(std::uint64_t bound) { return NextU64() % bound; }

double SeededRandom::Unit() { return static_cast<double>(NextU64() >> 11) * 0x1.0p-53; }

std::string FormatReaderClock(Millis clock) {
  const std::int64_t ms = clock.count() < 0 ? 0 : clock.count();
  const std::int64_t minutes = (ms / 60000) % 1000;
  const std::int64_t seconds = (ms / 1000) % 60;
  return ZeroPadded(minutes, 3) + ":" + ZeroPadded(seconds, 2) + "." + ZeroPadded(ms % 1000, 3);
}

std::optional<Millis> ParseReaderClock(std::string_view text) {
  if (text.size() != 10 || text[3] != ':' || text[6] != '.') return std::nullopt;
  for (int i : {0, 1, 2, 4, 5, 7, 8, 9}) {
    if (!IsDigit(text[i])) return std::nullopt;
  }
  const int seconds = Digits(text.substr(4, 2));
  if (seconds >= 60) return std::nullopt;
  return Millis{Digits(text.substr(0, 3)) * 60000LL + seconds * 1000LL + Digits(text.substr(7, 3))};
}

std::vector<std::string> ReadScript(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) throw std::runtime_error("cannot read script '" + path + "': " + std::strerror(errno));
  std::string content;
  char buffer[4096];
  for (;;) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n == 0) break;
    if (n < 0) {
      if (errno == EINTR) continue;
      const int error = errno;
      ::close(fd);
      throw std::runtime_error("cannot read script '" + path + "': " + std::strerror(error));
    }
    content.append(buffer, static_cast<std::size_t>(n));
  }
  ::close(fd);

  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < content.size()) {
    std::size_t end = content.find('\n', start);
    if (end == std::string::npos) end = content.size();
    std::string_view line(content.data() + start, end - start);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (!IsBlank(line)) lines.emplace_back(line);
    start = end + 1;
  }
  return lines;
}

MessageList::MessageList(std::vector<std::string> texts, double rate) : texts_(std::move(texts)), rate_(rate) {}

std::optional<ScheduledMessage> MessageList::Next() {
  if (next_ >= texts_.size()) return std::nullopt;
  const double at = rate_ > 0 ? static_cast<double>(next_) * 1000.0 / rate_ : 0.0;
  ScheduledMessage message{texts_[next_], Millis{std::llround(at)}};
  ++next_;
  return message;
}

MessageGenerator::MessageGenerator(const GeneratorSettings& settings)
    : settings_(settings), random_(settings.seed) {}

char MessageGenerator::ChooseKind() {
  char kind;
  const std::int64_t remaining = settings_.count ? *settings_.count - produced_ + 1 : 0;
  if (settings_.count && *settings_.count >= 5 && !unseen_kinds_.empty() &&
      remaining <= static_cast<std::int64_t>(unseen_kinds_.size())) {
    // Only as many messages are left as kinds not yet seen: make sure each kind appears.
    kind = unseen_kinds_[random_.Below(unseen_kinds_.size())];
  } else {
    const std::uint64_t roll = random_.Below(100);
    kind = roll < 40 ? 'A' : roll < 70 ? 'B' : roll < 80 ? 'C' : roll < 90 ? 'D' : 'F';
  }
  const std::size_t at = unseen_kinds_.find(kind);
  if (at != std::string::npos) unseen_kinds_.erase(at, 1);
  return kind;
}

std::optional<ScheduledMessage> MessageGenerator::Next() {
  if (settings_.count && produced_ >= *settings_.count) return std::nullopt;
  ++produced_;
  const double interval = settings_.rate > 0 ? 1000.0 / settings_.rate : 500.0;
  const std::int64_t gap = std::max<std::int64_t>(1, std::llround(interval * (0.5 + random_.Unit())));
  elapsed_ += Millis{gap};
  const char kind = ChooseKind();
  std::string text(1, kind);
  text += "01";
  text += ZeroPadded(produced_ % 1000000, 6);
  text += FormatReaderClock(settings_.clock_start + elapsed_);
  return ScheduledMessage{std::move(text), settings_.rate > 0 ? elapsed_ : Millis{0}};
}

}  // namespace ln40::sim
