#include "reports/mail_command.h"

#include <sys/stat.h>
#include <unistd.h>

#include <exception>

#include "reports/xdg_email_composer.h"
#include "text/codepage.h"
#include "text/error.h"
#include "text/regular_file.h"
#include "timing/timing_logs.h"

namespace ln40 {
namespace {

// Blanks and control characters around the address are not part of it.
std::string TrimBlanks(const std::string& text) {
  const auto blank = [](char c) { return static_cast<unsigned char>(c) <= ' '; };
  size_t begin = 0;
  size_t end = text.size();
  while (begin < end && blank(text[begin])) ++begin;
  while (end > begin && blank(text[end - 1])) --end;
  return text.substr(begin, end - begin);
}

// The folder as the user would type it: without the trailing "/", in the message's code page.
std::string ShownFolder(const std::string& folder) {
  std::string shown = folder;
  while (shown.size() > 1 && shown.back() == '/') shown.pop_back();
  return Utf8ToCp1252(shown);
}

Error MapiError(int code) {
  return Error("MAPI Error: (" + std::to_string(code) + ") \"" + MapiErrorText(code) + "\"");
}

// A composer is handed files only: a folder or a device under an attachment's name would
// be no attachment at all.
bool AttachmentExists(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

// Hides the autosave indicator again however the command ends.
class IndicatorShown {
 public:
  explicit IndicatorShown(const std::function<void(bool)>& indicator) : indicator_(indicator) {
    if (indicator_) indicator_(true);
  }
  ~IndicatorShown() {
    if (indicator_) indicator_(false);
  }
  IndicatorShown(const IndicatorShown&) = delete;
  IndicatorShown& operator=(const IndicatorShown&) = delete;

 private:
  const std::function<void(bool)>& indicator_;
};

// Both tables into "mail.xls". A failed write is not a reason to stop here: the attachment
// check reports the missing workbook. The file is removed then, so that a workbook left
// from an earlier run (or half updated by this one) is never mailed as today's data.
void WriteMailWorkbook(const MailCommandContext& context, const std::string& path) {
  if (!context.writeWorkbook) return;
  // A named pipe, a folder or a device under the name is not the program's: it is neither
  // written into (a pipe that nobody reads would hold the window) nor removed.
  if (const mode_t other = OtherThanRegularFileAt(path); other != 0) {
    if (context.note) {
      context.note(std::string(kMailWorkbookName) + " could not be written: " + NotARegularFileText(other));
    }
    return;
  }
  try {
    context.writeWorkbook(path);
  } catch (const std::exception& error) {
    ::unlink(path.c_str());
    if (context.note) context.note(std::string(kMailWorkbookName) + " could not be written: " + error.what());
  }
}

}  // namespace

std::string MapiErrorText(int code) {
  switch (code) {
    case 1: return "User abort";
    case 2: return "General MAPI failure";
    case 3: return "MAPI login failure";
    case 4: return "Disk full";
    case 5: return "Insufficient memory";
    case 6: return "Access denied";
    case 8: return "Too many sessions";
    case 9: return "Too many files were specified";
    case 10: return "Too many recipients were specified";
    case 11: return "A specified attachment was not found";
    case 12: return "Attachment open failure";
    case 13: return "Attachment write failure";
    case 14: return "Unknown recipient";
    case 15: return "Bad recipient type";
    case 16: return "No messages";
    case 17: return "Invalid message";
    case 18: return "Text too large";
    case 19: return "Invalid session";
    case 20: return "Type not supported";
    case 21: return "A recipient was specified ambiguously";
    case 22: return "Message in use";
    case 23: return "Network failure";
    case 24: return "Invalid edit fields";
    case 25: return "Invalid recipients";
    case 26: return "Not supported";
    default: return {};
  }
}

std::string NoMailProgramMessage(const std::string& program, const std::string& folder) {
  return "No mail program found (" + Utf8ToCp1252(program) + "). The files are in " + ShownFolder(folder) + ".";
}

std::vector<std::string> MailAttachmentPaths(const MailCommandContext& context) {
  std::vector<std::string> paths{context.folder + kMailWorkbookName};
  if (context.bfgLog) paths.push_back(context.folder + Cp1252ToUtf8(BfgLogName(context.race, context.sub)));
  if (context.chronexLog) paths.push_back(context.folder + kChronexLogName);
  return paths;
}

MailMessage MakeMailMessage(const MailCommandContext& context, const std::string& address) {
  MailMessage message;
  message.subject = context.race + " " + context.sub;
  MailRecipient recipient;
  recipient.name = TrimBlanks(address);
  recipient.address = "SMTP:" + recipient.name;
  message.recipients.push_back(recipient);
  message.attachments = MailAttachmentPaths(context);
  return message;
}

bool RunMailCommand(const MailCommandContext& context) {
  std::string address = context.readAddress ? context.readAddress() : std::string();
  if (context.prompt == nullptr || !context.prompt->InputQuery(kMailPromptCaption, kMailPromptLabel, address)) {
    return false;
  }
  if (context.writeAddress) context.writeAddress(address);

  const IndicatorShown indicator(context.autosaveIndicator);
  WriteMailWorkbook(context, context.folder + kMailWorkbookName);
  const MailMessage message = MakeMailMessage(context, address);

  if (context.composer == nullptr || !context.composer->Available()) {
    throw Error(NoMailProgramMessage(context.composer != nullptr ? context.composer->ProgramName() : kDefaultMailCommand,
                                     context.folder));
  }
  for (const std::string& path : message.attachments) {
    if (!AttachmentExists(path)) throw MapiError(mapi::kAttachmentNotFound);
  }
  if (message.recipients.front().name.empty()) throw MapiError(mapi::kInvalidRecipients);

  int code = mapi::kSuccess;
  try {
    code = context.composer->SendMail(message);
  } catch (const EMailProgramMissing&) {
    throw Error(NoMailProgramMessage(context.composer->ProgramName(), context.folder));
  }
  if (code == mapi::kSuccess || code == mapi::kUserAbort) return true;
  throw MapiError(code);
}

}  // namespace ln40
