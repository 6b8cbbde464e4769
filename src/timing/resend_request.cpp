#include "timing/resend_request.h"

#include "text/error.h"
#include "text/numbers.h"

namespace ln40 {

std::string PadNumber(int n, int width) {
  std::string text = std::to_string(n);
  if (static_cast<int>(text.size()) < width) text.insert(0, width - text.size(), '0');
  return text;
}

void RequestResend(InputDialog& input, ReaderLink& link, DecoderFlags& flags, ReaderWindow& window) {
  std::string count_text = "9999";
  const bool confirmed = input.InputQuery("Spool data again", "Number og messages", count_text);
  flags.AckSuppressed = true;
  if (!confirmed) return;
  int32_t count = 0;
  if (!TryReadInteger(count_text, count)) throw Error("'" + count_text + "' is not a valid integer value");
  link.SendText("+\r");
  link.SendText("!-" + PadNumber(count, 4) + "\r");
  window.DisableConnectionWatch();
}

}  // namespace ln40
