#pragma once
// The serial port's settings dialog ("Setup"): six drop-down lists in the group
// " Settings " that show the port's current values, "OK" and "Cancel". The lists and what
// "OK" does with them are the link's (link/com_setup.h); this is only the window.
#include <QDialog>

#include "link/com_setup.h"

class QComboBox;

namespace ln40::gui {

class ComSetupDialog : public QDialog {
  Q_OBJECT

 public:
  explicit ComSetupDialog(const ComSetupChoices& choices, QWidget* parent = nullptr);

  // The lists' selections as they stand.
  ComSetupChoices Choices() const;

 private:
  ComSetupChoices choices_;
  QComboBox* port_;
  QComboBox* baud_rate_;
  QComboBox* data_bits_;
  QComboBox* stop_bits_;
  QComboBox* parity_;
  QComboBox* flow_control_;
};

}  // namespace ln40::gui
