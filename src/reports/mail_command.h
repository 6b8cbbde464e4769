#pragma once
// "Mail log og excel file": asks for the address, writes "mail.xls" with the runner sheet
// and the read-times table into the program's folder, and hands a message with that
// workbook and the switched-on timing logs to the desktop's mail composer, where the user
// sends or discards it. The address typed last is remembered. Runs on the event thread.
#include <functional>
#include <string>
#include <vector>

#include "reports/mail_composer.h"
#include "timing/resend_request.h"

namespace ln40 {

inline constexpr const char* kMailWorkbookName = "mail.xls";
inline constexpr const char* kMailPromptCaption = "Send mail";
inline constexpr const char* kMailPromptLabel = "Email address";

struct MailCommandContext {
  std::string race = {};    // Edit3
  std::string sub = {};     // Edit2
  std::string folder = {};  // the program's folder (UTF-8), with a trailing "/"
  bool chronexLog = true;   // "Chronex log" (cbchronex)
  bool bfgLog = true;       // "BFG log" (cbbfg)

  InputDialog* prompt = nullptr;
  MailComposer* composer = nullptr;
  // The stored address ("tomail"): read for the prompt's preset, written with the text
  // the user confirmed. A write that fails throws and ends the command.
  std::function<std::string()> readAddress = {};
  std::function<void(const std::string&)> writeAddress = {};
  // Writes the runner sheet as "LN40" and then the read-times table as "Excel" into the
  // workbook at the given path. May throw.
  std::function<void(const std::string& path)> writeWorkbook = {};
  std::function<void(bool shown)> autosaveIndicator = {};
  // A note for the status line that needs no answer (why "mail.xls" could not be written).
  std::function<void(const std::string&)> note = {};
};

// The files the message carries, in order: "mail.xls", the BFG log when `bfgLog`, then
// "Chronex.log" when `chronexLog`; full paths in `folder`.
std::vector<std::string> MailAttachmentPaths(const MailCommandContext& context);

// The message for `address` as typed: subject race + " " + sub, empty body, one "to"
// recipient with the address trimmed of blanks, the attachments in order.
MailMessage MakeMailMessage(const MailCommandContext& context, const std::string& address);

// The command. Returns false when the prompt was cancelled (nothing written or sent), true
// when the composer took the message or the user closed it without sending. Throws Error
// with the text shown to the user: NoMailProgramMessage without a mail program,
// "MAPI Error: (11) "A specified attachment was not found"" for a missing attachment (also
// when "mail.xls" could not be written), code 25 "Invalid recipients" for an empty address,
// and "MAPI Error: (%d) "%s"" for any other failure the composer reports. The new address
// is stored in every case but the cancelled prompt.
bool RunMailCommand(const MailCommandContext& context);

}  // namespace ln40
