#pragma once
// The desktop's clipboard as the editing logic's TextClipboard: plain text, converted
// between the core's Windows-1252 and Qt's Unicode. Text that other Linux programs put
// there ends its lines with LF alone; it is read with CR LF line ends, as a copy from a
// table writes them. GUI thread only.
#include "table/grid_keys.h"

namespace ln40::gui {

class SystemTextClipboard : public TextClipboard {
 public:
  std::string Text() const override;
  void SetText(const std::string& text) override;
};

}  // namespace ln40::gui
