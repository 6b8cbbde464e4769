#pragma once
// The message handler's window, message box and reader link for a front end without a
// screen: fields are plain values, message boxes go to stderr, sent bytes are collected.
#include <iostream>
#include <string>

#include "text/codepage.h"
#include "timing/message_handler.h"

namespace ln40::cli {

class ConsoleReaderWindow : public ReaderWindow {
 public:
  std::string nulltime = "00:00:00";
  bool trim = true;
  bool chronex = true;
  bool bfg = true;
  bool insert = true;
  std::string race = "Test race";
  std::string sub = "10.10.04";
  std::string time_status;

  std::string ReaderNulltime() const override { return nulltime; }
  void SetReaderNulltime(const std::string& text) override { nulltime = text; }
  bool RemoveLeadingZeros() const override { return trim; }
  bool ChronexLogOn() const override { return chronex; }
  bool BfgLogOn() const override { return bfg; }
  bool InsertUnknownOn() const override { return insert; }
  std::string RaceName() const override { return race; }
  std::string SubName() const override { return sub; }
  void ShowActivityLamp() override {}
  void SetTimeStatus(const std::string& text) override { time_status = text; }
  void EnableConnectionWatch() override {}
  void DisableConnectionWatch() override {}
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
