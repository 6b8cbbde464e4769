#include "simulated_reader.h"

#include <algorithm>
#include <limits>

namespace ln40::sim {

namespace {

// A received line longer than this is noise; it is dropped without waiting for its CR.
constexpr std::size_t kMaxInputLine = 256;

// The count of a re-send request: decimal digits only. Anything else (empty, a sign, blanks,
// letters) counts as 0. Large counts saturate; the reader cannot send more than it has.
std::int64_t ReadResendCount(std::string_view text) {
  if (text.empty()) return 0;
  std::int64_t count = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return 0;
    if (count > (std::numeric_limits<std::int64_t>::max() - 9) / 10) return std::numeric_limits<std::int64_t>::max();
    count = count * 10 + (c - '0');
  }
  return count;
}

}  // namespace

const char* FrameKindName(FrameKind kind) {
  switch (kind) {
    case FrameKind::kMessage: return "send";
    case FrameKind::kRetry: return "retry";
    case FrameKind::kResend: return "resend";
    case FrameKind::kResendEnd: return "end";
    case FrameKind::kProbeAnswer: return "probe-answer";
    case FrameKind::kNoise: return "noise";
  }
  return "?";
}

SimulatedReader::SimulatedReader(std::unique_ptr<MessageSource> source, ReaderSettings settings)
    : source_(std::move(source)), settings_(settings), noise_random_(settings.noise_seed) {}

std::optional<std::string> SimulatedReader::Waiting() const {
  if (!waiting_) return std::nullopt;
  return memory_[*waiting_];
}

bool SimulatedReader::Idle() const {
  return !waiting_ && !on_line_ && answers_.empty() && resend_.empty() && !plus_pending_ && input_.empty();
}

void SimulatedReader::LineReplaced() {
  input_.clear();
  heard_program_ = false;
}

void SimulatedReader::Receive(std::string_view bytes, Millis now) {
  if (bytes.empty()) return;
  heard_program_ = true;
  last_input_at_ = now;
  for (char c : bytes) {
    if (c == '\r') {
      HandleLine(input_);
      input_.clear();
    } else if (input_.size() >= kMaxInputLine) {
      ++stats_.unknown_lines;
      input_.clear();
    } else {
      input_ += c;
    }
  }
}

void SimulatedReader::HandleLine(std::string_view line) {
  while (!line.empty() && line.front() == '\n') line.remove_prefix(1);
  if (line == "+") {
    if (plus_pending_) ConfirmPlus();  // followed by another "+": the first was an acknowledgement
    plus_pending_ = true;
    plus_for_.reset();
    if (waiting_ && waiting_went_out_) plus_for_ = waiting_;
    return;
  }
  if (line.substr(0, 2) == "!-") {
    plus_pending_ = false;  // the "+" in front belongs to the request
    StartResend(line.substr(2));
    return;
  }
  if (plus_pending_) ConfirmPlus();
  if (line == "?") {
    answers_.push_back({FrameKind::kProbeAnswer, "-\r"});
  } else {
    ++stats_.unknown_lines;
  }
}

void SimulatedReader::ConfirmPlus() {
  plus_pending_ = false;
  if (plus_for_ && waiting_ == plus_for_) {
    ++stats_.acknowledged;
    waiting_.reset();
    retry_now_ = false;
  } else {
    ++stats_.stray_acks;
  }
  plus_for_.reset();
}

void SimulatedReader::StartResend(std::string_view count_text) {
  ++stats_.resend_requests;
  const std::int64_t wanted = ReadResendCount(count_text);
  const std::size_t count = static_cast<std::size_t>(std::min<std::int64_t>(wanted, memory_.size()));
  for (std::size_t i = memory_.size() - count; i < memory_.size(); ++i) {
    resend_.push_back({FrameKind::kResend, memory_[i] + "\r"});
  }
  resend_.push_back({FrameKind::kResendEnd, "+\r"});
}

void SimulatedReader::Advance(Millis now) {
  if (plus_pending_ && now - last_input_at_ >= settings_.settle) ConfirmPlus();
}

const std::optional<ScheduledMessage>& SimulatedReader::PeekSource() {
  if (!upcoming_ && !source_ended_) {
    upcoming_ = source_->Next();
    if (!upcoming_) source_ended_ = true;
    noise_decided_ = false;
  }
  return upcoming_;
}

Frame SimulatedReader::Take(Frame frame) {
  on_line_ = frame.kind;
  return frame;
}

std::optional<Frame> SimulatedReader::NextFrame(Millis now) {
  Advance(now);
  if (on_line_) return std::nullopt;
  if (!answers_.empty()) {
    Frame frame = std::move(answers_.front());
    answers_.pop_front();
    return Take(std::move(frame));
  }
  if (!resend_.empty()) {
    Frame frame = std::move(resend_.front());
    resend_.pop_front();
    return Take(std::move(frame));
  }
  // A "+\r" of unknown meaning may be the start of a re-send request or the acknowledgement
  // of the waiting message: nothing new goes out until that is clear.
  if (plus_pending_) return std::nullopt;
  if (waiting_) {
    if (retry_now_ || now - waiting_sent_at_ >= settings_.ack_timeout) {
      return Take({FrameKind::kRetry, memory_[*waiting_] + "\r"});
    }
    return std::nullopt;
  }
  if (settings_.wait_for_program && !heard_program_) return std::nullopt;
  if (!PeekSource() || now < upcoming_->due || now < hold_until_) return std::nullopt;
  if (!noise_decided_) {
    noise_decided_ = true;
    noise_due_ = settings_.noise_rate > 0 && noise_random_.Unit() < settings_.noise_rate;
  }
  if (noise_due_) {
    noise_due_ = false;
    std::string noise(1 + noise_random_.Below(8), ' ');
    for (char& c : noise) c = static_cast<char>('!' + noise_random_.Below('~' - '!' + 1));
    return Take({FrameKind::kNoise, noise + "\r"});
  }
  memory_.push_back(std::move(upcoming_->text));
  upcoming_.reset();
  waiting_ = memory_.size() - 1;
  waiting_went_out_ = false;
  retry_now_ = false;
  return Take({FrameKind::kMessage, memory_.back() + "\r"});
}

void SimulatedReader::FrameSent(Millis now) {
  if (!on_line_) return;
  const FrameKind kind = *on_line_;
  on_line_.reset();
  switch (kind) {
    case FrameKind::kMessage:
      ++stats_.sent;
      waiting_went_out_ = true;
      waiting_sent_at_ = now;
      break;
    case FrameKind::kRetry:
      ++stats_.retried;
      waiting_sent_at_ = now;
      retry_now_ = false;
      break;
    case FrameKind::kResend:
      ++stats_.resent;
      break;
    case FrameKind::kResendEnd:
      if (resend_.empty() && waiting_) retry_now_ = true;
      break;
    case FrameKind::kProbeAnswer:
      ++stats_.probes_answered;
      break;
    case FrameKind::kNoise:
      ++stats_.noise_frames;
      hold_until_ = now + settings_.settle;
      break;
  }
}

std::optional<Millis> SimulatedReader::NextWakeUp(Millis now) {
  std::optional<Millis> wake;
  const auto consider = [&wake](Millis at) {
    if (!wake || at < *wake) wake = at;
  };
  if (plus_pending_) consider(last_input_at_ + settings_.settle);
  if (!on_line_) {
    if (!answers_.empty() || !resend_.empty()) {
      consider(now);
    } else if (!plus_pending_) {
      if (waiting_) {
        consider(retry_now_ ? now : waiting_sent_at_ + settings_.ack_timeout);
      } else if ((heard_program_ || !settings_.wait_for_program) && PeekSource()) {
        consider(std::max(upcoming_->due, hold_until_));
      }
    }
  }
  if (wake && *wake < now) wake = now;
  return wake;
}

bool SimulatedReader::Done() {
  return !on_line_ && answers_.empty() && resend_.empty() && !waiting_ && !plus_pending_ && !PeekSource();
}

}  // namespace ln40::sim
