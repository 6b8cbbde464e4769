#include "link/reader_link.h"

namespace ln40 {

TReaderLink::TReaderLink(EventThread& events) : port_(events) {
  framer_.IncludeStrings = true;
  framer_.MaxBufferSize = 10240;
  framer_.OnPacket = [this](const std::string& packet) {
    if (OnPacket) OnPacket(packet);
    last_error_.clear();
  };
  port_.OnBeforeOpen = [this] {
    if (BeforeOpen) BeforeOpen();
    // A line cut off by a pulled cable or a closed port never completes: joined to the
    // first line after the open it would spoil that message, so it is thrown away.
    framer_.DropBuffer();
    framer_.SetStopString("\r");
  };
  port_.OnRxBuf = [this](const std::string& block) {
    framer_.FeedReportingErrors(block, [this](const std::exception& error) { Report(error.what()); });
  };
  port_.OnReceiveError = [this](const std::string& text) { Report(text); };
}

void TReaderLink::Report(const std::string& text) {
  if (text == last_error_) return;
  last_error_ = text;
  if (OnReceiveError) OnReceiveError(text);
}

}  // namespace ln40
