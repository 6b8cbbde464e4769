#pragma once
// The simulated LN40's behaviour on the line, without any I/O: which frame it puts on the
// line next, and what each line it receives means. The pty loop drives it with the bytes it
// reads and the frames it writes; tests drive it with plain strings and a hand-set clock.
// Not thread-safe; one owner calls it from one thread.
//
// What the reader does:
// - Data messages go out one at a time, each followed by CR, not before they are due. After
//   a message has gone out the reader waits for the acknowledgement "+\r"; without one
//   within the ack timeout it sends the same message again, and keeps trying for as long as
//   it runs, as a reader at a finish line does.
// - "?\r" (the program's probe) is answered with "-\r" at the next frame boundary.
// - "!-NNNN\r" (the re-send request; NNNN a decimal count) makes it send its last NNNN sent
//   messages again, or all it has sent when that is fewer, in their original order and
//   without waiting for acknowledgements, and then "+\r". A count that is not a plain
//   number of digits (such as "00-5") re-sends nothing, but "+\r" still closes the answer,
//   since the program waits for it. A message that was waiting for its acknowledgement
//   when the request came is sent again right after that "+\r".
// - The program puts "+\r" in front of its "!-NNNN\r", and that "+\r" acknowledges
//   nothing. A "+\r" therefore counts only once the next line has shown that it is not
//   the start of a request, or once the line has been quiet for the settle time after it.
//   It acknowledges the waiting message only if that message had gone out completely
//   before the "+" arrived; any other "+\r" is a stray one and changes nothing.
// - Other lines are counted and ignored. Line feeds before a line are ignored.
// - Optionally (wait_for_program) no message goes out before the first byte from the
//   program has arrived, since bytes written before the program has opened and set up its
//   port are often thrown away there.
#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "message_source.h"

namespace ln40::sim {

enum class FrameKind {
  kMessage,      // a data message, first time on the line
  kRetry,        // the waiting message again (no acknowledgement came)
  kResend,       // a stored message again, in answer to a re-send request
  kResendEnd,    // "+\r" after the re-sent messages
  kProbeAnswer,  // "-\r", the answer to "?\r"
  kNoise,        // random printable bytes and a CR between messages (line noise)
};

// The name used in the sent-messages file and in tests: "send", "retry", "resend", "end",
// "probe-answer", "noise".
const char* FrameKindName(FrameKind kind);

struct Frame {
  FrameKind kind;
  std::string bytes;  // exactly what goes on the line, the final CR included
};

struct ReaderSettings {
  Millis ack_timeout{1000};  // send the waiting message again after this long without "+\r"
  Millis settle{30};         // quiet time after "+\r" before it counts as an acknowledgement
  double noise_rate = 0;     // chance of a noise frame before each new message, 0 to 1
  bool wait_for_program = false;  // no message before the first byte from the program
  std::uint64_t noise_seed = 1;
};

struct ReaderStats {
  std::int64_t sent = 0;             // data messages sent for the first time
  std::int64_t retried = 0;          // sent again for want of an acknowledgement
  std::int64_t resent = 0;           // sent again in answer to re-send requests
  std::int64_t resend_requests = 0;  // "!-NNNN" lines received
  std::int64_t acknowledged = 0;     // messages acknowledged
  std::int64_t probes_answered = 0;  // "-\r" written
  std::int64_t stray_acks = 0;       // "+\r" that acknowledged nothing
  std::int64_t unknown_lines = 0;    // received lines that mean nothing to the reader
  std::int64_t noise_frames = 0;     // noise frames written
};

class SimulatedReader {
 public:
  SimulatedReader(std::unique_ptr<MessageSource> source, ReaderSettings settings);

  // Bytes received from the program at time `now`; any split of the byte stream into calls
  // gives the same result. Times passed to this object never go backwards.
  void Receive(std::string_view bytes, Millis now);

  // Lets time pass: a "+\r" whose settle time has run out counts now. NextFrame does this
  // too; call it when no frame is asked for (while a frame is on its way out).
  void Advance(Millis now);

  // The frame to put on the line now, if any. Once a frame is returned, no other is until
  // FrameSent reports that its last byte has been written.
  std::optional<Frame> NextFrame(Millis now);
  void FrameSent(Millis now);

  // The earliest time at which Advance or NextFrame may have something new to do without
  // further input; nullopt when only input can change anything.
  std::optional<Millis> NextWakeUp(Millis now);

  // Every message has been sent and acknowledged and nothing is waiting to go out.
  bool Done();

  const ReaderStats& Stats() const { return stats_; }
  // Every message sent so far, in the order of its first sending (the reader's memory).
  const std::vector<std::string>& Memory() const { return memory_; }
  // The message waiting for its acknowledgement, if any.
  std::optional<std::string> Waiting() const;

  // Nothing is on its way or expected: no message waits for its acknowledgement, no
  // answer is queued or half written, no line from the program is half received. Only
  // then does a pulled cable lose nothing.
  bool Idle() const;
  // The line was replaced (a cable pulled and put back): what was half received is gone,
  // and with wait_for_program nothing new goes out before the program is heard again.
  void LineReplaced();

 private:
  void HandleLine(std::string_view line);
  void ConfirmPlus();
  void StartResend(std::string_view count_text);
  const std::optional<ScheduledMessage>& PeekSource();
  Frame Take(Frame frame);

  std::unique_ptr<MessageSource> source_;
  ReaderSettings settings_;
  SeededRandom noise_random_;
  ReaderStats stats_;

  std::optional<ScheduledMessage> upcoming_;  // the next message of the source, once read
  bool source_ended_ = false;
  bool noise_decided_ = false;  // whether noise goes before `upcoming_` has been decided
  bool noise_due_ = false;
  Millis hold_until_{0};  // no new message before this (after noise, let its echo settle)

  std::vector<std::string> memory_;
  std::optional<std::size_t> waiting_;  // index into memory_ of the unacknowledged message
  bool waiting_went_out_ = false;       // its first sending has been written completely
  Millis waiting_sent_at_{0};           // when its last copy was written completely
  bool retry_now_ = false;              // send it again without waiting for the timeout

  std::deque<Frame> answers_;  // probe answers, ahead of everything else
  std::deque<Frame> resend_;   // the answer to re-send requests, "+\r" included
  std::optional<FrameKind> on_line_;  // the frame handed out and not yet reported sent

  bool heard_program_ = false;  // some byte has come from the program
  std::string input_;          // the received line so far
  Millis last_input_at_{0};
  bool plus_pending_ = false;                // a "+\r" whose meaning is not yet known
  std::optional<std::size_t> plus_for_;      // the message it can acknowledge
};

}  // namespace ln40::sim
