// libFuzzer harness of the reader's receive path: the bytes of the input arrive at the
// framer in blocks (cut where the input says), the framer cuts them at CR as the reader
// link does, and every packet goes through the message handler with runner matching and
// both log lines, as a timing station handles it. The first byte sets the window's boxes.
// Whatever arrives, every data packet adds exactly one row to the read-times table and is
// acknowledged once (unless a re-send holds acknowledgements back), and the framer never
// keeps more than its limit.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "link/com_data_packet.h"
#include "sheet/runner_sheet.h"
#include "table/grid_table.h"
#include "text/clock.h"
#include "text/locale.h"
#include "timing/message_handler.h"
#include "timing/read_times_table.h"
#include "timing/runner_matching.h"
#include "timing/timing_logs.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

class Window : public ln40::ReaderWindow {
 public:
  std::string nulltime = "10:00:00";
  bool trim = true, chronex = true, bfg = true, insert = true;
  std::string ReaderNulltime() const override { return nulltime; }
  void SetReaderNulltime(const std::string& text) override { nulltime = text; }
  bool RemoveLeadingZeros() const override { return trim; }
  bool ChronexLogOn() const override { return chronex; }
  bool BfgLogOn() const override { return bfg; }
  bool InsertUnknownOn() const override { return insert; }
  std::string RaceName() const override { return "Race"; }
  std::string SubName() const override { return "10.10.04"; }
  void ShowActivityLamp() override {}
  void SetTimeStatus(const std::string&) override {}
  void EnableConnectionWatch() override {}
  void DisableConnectionWatch() override {}
};

class Dialog : public ln40::MessageDialog {
 public:
  void ShowMessage(const std::string&) override {}
};

class Link : public ln40::ReaderLink {
 public:
  int acknowledgements = 0;
  void SendText(const std::string& text) override {
    Check(text == ln40::kAcknowledgement);
    ++acknowledgements;
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  static const ln40::Locale locale = ln40::Locale::WorkedExample();
  const std::uint8_t setup = data[0];
  ++data;
  --size;

  ln40::TGridTable read_times;
  ln40::SetUpReadTimesTable(read_times);
  ln40::TGridTable sheet;
  ln40::SetUpRunnerSheet(sheet);
  Window window;
  window.trim = setup & 1;
  window.chronex = setup & 2;
  window.bfg = setup & 4;
  window.insert = setup & 8;
  if (setup & 16) window.nulltime = "23:59:59";
  Dialog dialog;
  Link link;
  const ln40::FixedClock clock(46364.75);
  ln40::TReaderMessageHandler handler(read_times, window, dialog, link, clock, locale);
  handler.SetMillisecondMode(setup & 32);
  ln40::TRunnerMatcher matcher(sheet, window);
  std::size_t log_bytes = 0;
  handler.Effects().matchRunner = [&](const ln40::ReaderMessage& message) { matcher.MatchRunner(message); };
  handler.Effects().appendChronexLine = [&](const ln40::ReaderMessage& message) {
    log_bytes += ln40::BuildChronexLine(message).size();
  };
  handler.Effects().appendBfgLine = [&](const ln40::ReaderMessage& message) {
    log_bytes += ln40::BuildBfgLine(message, window.RaceName(), window.SubName()).size();
  };

  ln40::TComDataPacket framer;
  framer.IncludeStrings = true;
  framer.MaxBufferSize = 256;  // small, so the limit is reached often
  framer.SetStopString("\r");
  int data_packets = 0;
  framer.OnPacket = [&](const std::string& packet) {
    Check(!packet.empty() && packet.back() == '\r');
    const int rows_before = read_times.RowCount();
    const int acks_before = link.acknowledgements;
    const bool data_message = packet != "+\r" && packet != "-\r";
    if (setup & 64 && data_packets % 7 == 3) handler.Flags().AckSuppressed = true;
    const bool suppressed = handler.Flags().AckSuppressed;
    handler.HandleReaderMessage(packet);
    if (!data_message) return;
    ++data_packets;
    Check(read_times.RowCount() == rows_before + 1);
    Check(read_times.Cell(ln40::read_times::kData, read_times.RowCount() - 1) == packet);
    Check(link.acknowledgements == acks_before + (suppressed ? 0 : 1));
  };

  // Block lengths come from the input itself: a byte 0xFF ends a block there.
  std::string block;
  for (std::size_t i = 0; i < size; ++i) {
    if (data[i] == 0xFF) {
      framer.Feed(block);
      Check(framer.Buffer().size() <= 256);
      block.clear();
      continue;
    }
    block += static_cast<char>(data[i]);
  }
  framer.Feed(block);
  Check(framer.Buffer().size() <= 256);
  Check(read_times.RowCount() == 2 + data_packets);
  return 0;
}
