#pragma once
// In-memory stand-ins for the window, the message box and the serial link.
#include <string>
#include <vector>

#include "timing/message_handler.h"

namespace ln40::testing {

class FakeReaderWindow : public ReaderWindow {
 public:
  std::string nulltime = "10:00:00";
  bool trim = true;
  bool chronex = true;
  bool bfg = true;
  bool insert = true;
  std::string race = "Test race";
  std::string sub = "10.10.04";
  int lamp_shown = 0;
  int watch_enabled = 0;
  std::string time_status;

  std::string ReaderNulltime() const override { return nulltime; }
  void SetReaderNulltime(const std::string& text) override { nulltime = text; }
  bool RemoveLeadingZeros() const override { return trim; }
  bool ChronexLogOn() const override { return chronex; }
  bool BfgLogOn() const override { return bfg; }
  bool InsertUnknownOn() const override { return insert; }
  std::string RaceName() const override { return race; }
  std::string SubName() const override { return sub; }
  void ShowActivityLamp() override { ++lamp_shown; }
  void SetTimeStatus(const std::string& text) override { time_status = text; }
  void EnableConnectionWatch() override { ++watch_enabled; }
  void DisableConnectionWatch() override { --watch_enabled; }
};

class FakeDialog : public MessageDialog {
 public:
  std::vector<std::string> shown;
  void ShowMessage(const std::string& text) override { shown.push_back(text); }
};

class FakeLink : public ReaderLink {
 public:
  std::string sent;
  void SendText(const std::string& text) override { sent += text; }
};

}  // namespace ln40::testing
