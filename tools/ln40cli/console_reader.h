#pragma once
// The message handler's window, message box and reader link for a front end without a
// screen: the options are plain values, message boxes go to stderr, sent bytes are
// collected.
#include <iostream>
#include <string>

#include "text/codepage.h"
#include "timing/message_handler.h"
#include "timing/station_options.h"

namespace ln40::cli {

class ConsoleReaderWindow : public ReaderWindow {
 public:
  explicit ConsoleReaderWindow(StationOptions& options) : options_(options) {}

  std::string ReaderNulltime() const override { return options_.nulltime; }
  void SetReaderNulltime(const std::string& text) override { options_.nulltime = text; }
  bool RemoveLeadingZeros() const override { return options_.removeLeadingZeros; }
  bool ChronexLogOn() const override { return options_.chronexLog; }
  bool BfgLogOn() const override { return options_.bfgLog; }
  bool InsertUnknownOn() const override { return options_.insertUnknownRunners; }
  std::string RaceName() const override { return options_.raceName; }
  std::string SubName() const override { return options_.subName; }
  void ShowActivityLamp() override {}
  void SetTimeStatus(const std::string&) override {}
  void EnableConnectionWatch() override {}
  void DisableConnectionWatch() override {}

 private:
  StationOptions& options_;
};

class ConsoleDialog : public MessageDialog {
 public:
  void ShowMessage(const std::string& text) override { std::cerr << "ln40cli: " << Cp1252ToUtf8(text) << '\n'; }
};

class CollectingLink : public ReaderLink {
 public:
  std::string sent;
  void SendText(const std::string& text) override { sent += text; }
};

}  // namespace ln40::cli
