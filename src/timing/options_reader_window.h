#pragma once
// The handler's window as plain values: the fields and boxes read from a StationOptions,
// the lamps, the time status and the watch doing nothing. For a station without a screen,
// and the base of the timing session's own window.
#include <string>

#include "timing/message_handler.h"
#include "timing/station_options.h"

namespace ln40 {

class OptionsReaderWindow : public ReaderWindow {
 public:
  StationOptions options;

  std::string ReaderNulltime() const override { return options.nulltime; }
  void SetReaderNulltime(const std::string& text) override { options.nulltime = text; }
  bool RemoveLeadingZeros() const override { return options.removeLeadingZeros; }
  bool ChronexLogOn() const override { return options.chronexLog; }
  bool BfgLogOn() const override { return options.bfgLog; }
  bool InsertUnknownOn() const override { return options.insertUnknownRunners; }
  std::string RaceName() const override { return options.raceName; }
  std::string SubName() const override { return options.subName; }
  void ShowActivityLamp() override {}
  void SetTimeStatus(const std::string&) override {}
  void EnableConnectionWatch() override {}
  void DisableConnectionWatch() override {}
};

}  // namespace ln40
