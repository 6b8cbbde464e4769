#pragma once
// The message handler's message box and reader link for a front end without a screen:
// message boxes go to stderr, sent bytes are collected.
#include <iostream>
#include <string>

#include "text/codepage.h"
#include "timing/message_handler.h"

namespace ln40::cli {

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
