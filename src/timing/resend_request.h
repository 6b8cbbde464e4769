#pragma once
// Asks the reader to send its stored messages again. The request is "+\r" followed by
// "!-" + the count padded to four characters + "\r". From the request until the reader's
// "+\r" the messages are entered as usual but not acknowledged, and the connection watch
// rests.
#include <string>

#include "timing/message_handler.h"

namespace ln40 {

// An input box with a caption, a prompt and a preset text; false when cancelled.
class InputDialog {
 public:
  virtual ~InputDialog() = default;
  virtual bool InputQuery(const std::string& caption, const std::string& prompt, std::string& value) = 0;
};

// The decimal text of n with "0" put in front until it has `width` characters; a minus
// sign counts as a character and stays behind the added zeros (-5 gives "00-5").
std::string PadNumber(int n, int width);

// "Get data again". Acknowledgements are suppressed even when the dialog is cancelled.
// A count that is not an integer throws Error("'%s' is not a valid integer value") and
// sends nothing; an error of the link leaves the watch running.
void RequestResend(InputDialog& input, ReaderLink& link, DecoderFlags& flags, ReaderWindow& window);

}  // namespace ln40
