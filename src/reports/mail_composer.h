#pragma once
// A finished mail message and the desktop's mail composer that takes it. The composer only
// shows the message for editing; the user sends or discards it there, so nothing leaves
// the machine without the user's confirmation. The codes a composer answers with are those
// of the Simple MAPI standard, so every composer reports its outcome the same way.
#include <string>
#include <vector>

#include "text/error.h"

namespace ln40 {

// The text for a machine without the mail program: "No mail program found (xdg-email). The
// files are in /home/ola/ln40util." `program` as the composer names it, `folder` (UTF-8) where
// the files to be sent were written, so the user can send them another way.
std::string NoMailProgramMessage(const std::string& program, const std::string& folder);

// Thrown by a composer whose program turns out to be missing only when it is handed a message.
class EMailProgramMissing : public Error {
 public:
  explicit EMailProgramMissing(const std::string& program) : Error("No mail program found (" + program + ")") {}
};

// Simple MAPI result codes the mail command tells apart.
namespace mapi {
constexpr int kSuccess = 0;
constexpr int kUserAbort = 1;
constexpr int kFailure = 2;
constexpr int kAttachmentNotFound = 11;
constexpr int kAttachmentOpenFailure = 12;
constexpr int kInvalidRecipients = 25;
constexpr int kRecipientClassTo = 1;
}  // namespace mapi

// The text of a Simple MAPI result code ("General MAPI failure" for 2); the empty text for
// a code the standard does not name.
std::string MapiErrorText(int code);

struct MailRecipient {
  int recipientClass = mapi::kRecipientClassTo;
  std::string name;     // the address as typed, blanks around it removed
  std::string address;  // "SMTP:" + name
};

struct MailMessage {
  std::string subject;                   // Windows-1252 bytes
  std::string body;                      // empty: the composer starts with an empty text
  std::vector<MailRecipient> recipients;
  std::vector<std::string> attachments;  // full paths (UTF-8 file names), in order
};

class MailComposer {
 public:
  virtual ~MailComposer() = default;

  // False when the machine has no mail composer to hand a message to.
  virtual bool Available() const = 0;

  // The program messages are handed to, as the user would look for it ("xdg-email").
  virtual std::string ProgramName() const = 0;

  // Hands `message` to the composer. Returns a Simple MAPI result code: 0 when the
  // composer took the message (the user sends or discards it there), 1 when the user closed
  // it without sending, any other code for a failure. A composer that turns out to be
  // missing only now throws EMailProgramMissing.
  virtual int SendMail(const MailMessage& message) = 0;
};

}  // namespace ln40
