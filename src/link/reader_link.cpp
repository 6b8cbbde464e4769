#include "link/reader_link.h"

namespace ln40 {

bool CameOnAQuietLine(std::chrono::nanoseconds after_open, size_t block_size,
                      std::chrono::nanoseconds character_time) {
  // Sent back to back, the block's bytes began block_size character times before it
  // arrived; one character time more of quiet must lie between the open and that.
  return after_open >= character_time * static_cast<int64_t>(block_size + 1);
}

bool BeginsAsAReaderLine(const std::string& line) {
  if (line == "+\r" || line == "-\r") return true;
  return !line.empty() && line[0] >= 'A' && line[0] <= 'Z';
}

TReaderLink::TReaderLink(EventThread& events) : port_(events) {
  framer_.IncludeStrings = true;
  framer_.MaxBufferSize = 10240;
  framer_.OnPacket = [this](const std::string& packet) { HandleLine(packet); };
  // Unframed data thrown away before the first line was cut took that line's beginning
  // with it: what follows up to the CR is a tail.
  framer_.OnDiscard = [this](const std::string&) { first_line_quiet_ = false; };
  port_.OnBeforeOpen = [this] {
    if (BeforeOpen) BeforeOpen();
    // A line cut off by a pulled cable or a closed port never completes: joined to the
    // first line after the open it would spoil that message, so it is thrown away.
    framer_.DropBuffer();
    framer_.SetStopString("\r");
    first_line_ = FirstLine::AwaitingBlock;
    first_line_quiet_ = false;
  };
  port_.OnRxBuf = [this](const std::string& block, std::chrono::steady_clock::time_point arrived) {
    HandleBlock(block, arrived);
  };
  port_.OnReceiveError = [this](const std::string& text) { Report(text); };
}

void TReaderLink::HandleBlock(const std::string& block, std::chrono::steady_clock::time_point arrived) {
  if (first_line_ == FirstLine::AwaitingBlock) {
    first_line_quiet_ = CameOnAQuietLine(arrived - port_.OpenedAt(), block.size(), CharacterTime(port_.Settings()));
    first_line_ = FirstLine::AwaitingCut;
  }
  framer_.FeedReportingErrors(block, [this](const std::exception& error) { Report(error.what()); });
}

void TReaderLink::HandleLine(const std::string& line) {
  if (first_line_ != FirstLine::Judged) {
    const bool whole = first_line_quiet_ && BeginsAsAReaderLine(line);
    first_line_ = FirstLine::Judged;
    if (!whole) {
      if (OnFragment) OnFragment(line);
      return;
    }
  }
  if (OnPacket) OnPacket(line);
  last_error_.clear();
}

void TReaderLink::Report(const std::string& text) {
  if (text == last_error_) return;
  last_error_ = text;
  if (OnReceiveError) OnReceiveError(text);
}

}  // namespace ln40
