#include "timing/message_handler.h"

#include <exception>

#include "text/date_time.h"
#include "text/numbers.h"
#include "timing/read_times_table.h"

namespace ln40 {

TReaderMessageHandler::TReaderMessageHandler(TGridTable& read_times, ReaderWindow& window, MessageDialog& dialog,
                                             ReaderLink& link, const Clock& clock, const Locale& locale)
    : table_(read_times), window_(window), dialog_(dialog), link_(link), clock_(clock), locale_(locale) {
  ResetForStartUp();
}

void TReaderMessageHandler::SetMillisecondMode(bool checked) {
  flags_.MillisecondMode = checked;
  flags_.StampFormat = locale_.shortDateFormat + (checked ? ",zzz" : "");
}

void TReaderMessageHandler::ResetForStartUp() {
  SetMillisecondMode(false);
  flags_.AckSuppressed = false;
}

std::string TReaderMessageHandler::FormatStamp(TDateTime value) const {
  const std::string text = FormatDateTime(flags_.StampFormat, value, locale_);
  if (!flags_.MillisecondMode) return text + ".000";
  const size_t comma = text.rfind(',');
  if (comma == std::string::npos) return text + ".000";
  const char tenths = comma + 1 < text.size() ? text[comma + 1] : '0';
  return text.substr(0, comma) + "." + tenths + "00";
}

void TReaderMessageHandler::HandleReaderMessage(const std::string& text) {
  TDateTime nulltime = 0;
  if (!TryReadTimeOfDay(window_.ReaderNulltime(), locale_, nulltime)) {
    window_.SetReaderNulltime("00:00:00");
    dialog_.ShowMessage(kWrongNulltimeMessage);
    return;
  }
  if (IsAckMessage(text)) {
    flags_.AckSuppressed = false;
    window_.EnableConnectionWatch();
    return;
  }
  if (IsNakMessage(text)) {
    window_.SetTimeStatus("-");
    window_.ShowActivityLamp();
    return;
  }

  window_.ShowActivityLamp();
  // The grouped column is out of the table while grouped; bring it back before writing
  // by column number.
  table_.Ungroup();
  table_.AddRow();
  const int row = table_.RowCount() - 1;
  table_.SetCell(read_times::kData, row, text);
  table_.SetCell(read_times::kNumber, row, std::to_string(table_.RowCount() - 2));

  // From here on the message is acknowledged whatever happens while decoding it.
  try {
    DecodeDataMessage(text, row, nulltime);
  } catch (const std::exception&) {
    // A message that fails to decode keeps the cells written so far.
  }

  if (!flags_.AckSuppressed) link_.SendText(kAcknowledgement);
}

void TReaderMessageHandler::DecodeDataMessage(const std::string& text, int row, TDateTime nulltime) {
  ReaderMessage& message = last_;
  message = ReaderMessage{};
  message.Raw = text;
  message.Kind = MessageField(message.Raw, 1, 1);
  message.Char2 = MessageField(message.Raw, 2, 1);
  message.Char3 = MessageField(message.Raw, 3, 1);

  message.KindName = KindNameOf(message.Kind);
  if (KindHasStartNumber(message.Kind)) {
    message.StartNumber = MessageField(message.Raw, 4, 6);
    if (window_.RemoveLeadingZeros()) {
      int32_t number = 0;
      if (!TryReadInteger(message.StartNumber, number)) return;
      message.StartNumber = std::to_string(number);
    }
    table_.SetCell(read_times::kStartNumber, row, message.StartNumber);
  }
  if (!message.KindName.empty()) table_.SetCell(read_times::kText, row, message.KindName);

  message.ReaderTime = MessageField(message.Raw, 10, 10);
  table_.SetCell(read_times::kReaderTime, row, message.ReaderTime);

  const TDateTime now = clock_.Now();
  message.PcStamp = FormatStamp(now);

  if (!message.ReaderTime.empty()) {
    const std::optional<ReaderClock> reader_clock = ReadReaderClock(message.ReaderTime);
    if (!reader_clock) return;
    const unsigned hours = reader_clock->minutes / 60;
    const unsigned minutes = reader_clock->minutes % 60;
    TDateTime clock_whole = 0;
    TDateTime clock_exact = 0;
    const bool valid =
        TryEncodeTime(static_cast<int>(hours), static_cast<int>(minutes), static_cast<int>(reader_clock->seconds), 0,
                      clock_whole) &&
        TryEncodeTime(static_cast<int>(hours), static_cast<int>(minutes), static_cast<int>(reader_clock->seconds),
                      static_cast<int>(reader_clock->milliseconds), clock_exact);
    // An invalid clock value (seconds of 60 or more, a negative field) shows midnight.
    const TDateTime shown = !valid ? 0 : nulltime + (flags_.MillisecondMode ? clock_exact : clock_whole);
    message.TimeText = flags_.MillisecondMode ? FormatDateTime("hh:mm:ss.zzz", shown, locale_)
                                              : FormatDateTime(locale_.longTimeFormat, shown, locale_);
    table_.SetCell(read_times::kTime, row, message.TimeText);

    // The stamp carries the date: a sum past midnight stamps the next day.
    const TDateTime stamped = valid ? nulltime + clock_exact : 0;
    message.ReaderStamp = FormatStamp(DateOf(now) + stamped);
  }

  if (effects_.matchRunner) effects_.matchRunner(message);
  if (window_.ChronexLogOn() && effects_.appendChronexLine) effects_.appendChronexLine(message);
  if (window_.BfgLogOn() && effects_.appendBfgLine) effects_.appendBfgLine(message);
}

}  // namespace ln40
