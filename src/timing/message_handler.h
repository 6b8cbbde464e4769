#pragma once
// The handler of every line the reader sends. It decodes the message, appends a row to the
// read-times table, hands the message to runner matching and the two logs, and acknowledges
// it with "+\r". It also recognises the reader's control messages "+\r" and "-\r".
// Runs on the event thread only; one message is handled completely before the next.
#include <functional>
#include <string>

#include "table/grid_table.h"
#include "text/clock.h"
#include "text/locale.h"
#include "timing/reader_message.h"

namespace ln40 {

// The window's fields and controls that the handler reads and writes.
class ReaderWindow {
 public:
  virtual ~ReaderWindow() = default;
  virtual std::string ReaderNulltime() const = 0;  // "Reader nulltime" field
  virtual void SetReaderNulltime(const std::string& text) = 0;
  virtual bool RemoveLeadingZeros() const = 0;  // "Remove leading 0" box
  virtual bool ChronexLogOn() const = 0;        // Chronex log box
  virtual bool BfgLogOn() const = 0;            // BFG log box
  virtual bool InsertUnknownOn() const = 0;     // "Insert unknown #" box
  virtual std::string RaceName() const = 0;     // "Race name" field
  virtual std::string SubName() const = 0;      // "Sub name" field
  virtual void ShowActivityLamp() = 0;
  virtual void SetTimeStatus(const std::string& text) = 0;  // "Time status" field
  virtual void EnableConnectionWatch() = 0;                 // the 500 ms probe timer
  virtual void DisableConnectionWatch() = 0;
};

// A modal message box.
class MessageDialog {
 public:
  virtual ~MessageDialog() = default;
  virtual void ShowMessage(const std::string& text) = 0;
};

// The way back to the reader. An error it throws leaves HandleReaderMessage.
class ReaderLink {
 public:
  virtual ~ReaderLink() = default;
  virtual void SendText(const std::string& text) = 0;
};

// Effects of a data message that other parts of the program carry out; an empty function
// is skipped. The log appends run only while their box is checked.
struct MessageEffects {
  std::function<void(const ReaderMessage&)> matchRunner;
  std::function<void(const ReaderMessage&)> appendChronexLine;
  std::function<void(const ReaderMessage&)> appendBfgLine;
};

struct DecoderFlags {
  bool MillisecondMode = false;  // keep milliseconds in the "Time" column and the stamps
  std::string StampFormat;       // short date format, plus ",zzz" in millisecond mode
  bool AckSuppressed = false;    // a re-send request holds back acknowledgements
};

inline constexpr const char* kWrongNulltimeMessage = "Wrong time format. Time format is reset to 00:00:00";
inline constexpr const char* kAcknowledgement = "+\r";

class TReaderMessageHandler {
 public:
  // The handler appends to `read_times` and keeps references to everything it is given.
  TReaderMessageHandler(TGridTable& read_times, ReaderWindow& window, MessageDialog& dialog, ReaderLink& link,
                        const Clock& clock, const Locale& locale);

  // All effects of one message, in their fixed order. A message that fails to decode keeps
  // the cells written so far and is still acknowledged. While the table is grouped it is
  // ungrouped first, so every value lands in its own column.
  void HandleReaderMessage(const std::string& text);

  // The "Keep milliseconds" box changed (also when the settings set it).
  void SetMillisecondMode(bool checked);
  // Flags as at program start: no milliseconds, acknowledgements on.
  void ResetForStartUp();

  DecoderFlags& Flags() { return flags_; }
  const DecoderFlags& Flags() const { return flags_; }
  MessageEffects& Effects() { return effects_; }
  void SetLocale(const Locale& locale) { locale_ = locale; }

  // The last data message as far as it was decoded.
  const ReaderMessage& LastMessage() const { return last_; }

  // The date stamp of a date-time value: its date in StampFormat, then "." and the
  // tenths of a second (always 0 without millisecond mode) followed by "00".
  std::string FormatStamp(TDateTime value) const;

 private:
  void DecodeDataMessage(const std::string& text, int row, TDateTime nulltime);

  TGridTable& table_;
  ReaderWindow& window_;
  MessageDialog& dialog_;
  ReaderLink& link_;
  const Clock& clock_;
  Locale locale_;
  DecoderFlags flags_;
  MessageEffects effects_;
  ReaderMessage last_;
};

}  // namespace ln40
