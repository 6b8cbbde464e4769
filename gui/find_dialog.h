#pragma once
// The "Find text" dialog: a window that does not block the main window and stays above it,
// bound to the FindDialogState that the main window keeps for the whole run, so that the
// texts searched before, the boxes and the last found cell carry over from one opening to
// the next and from one table to the other. "Ok" searches the table of the view the dialog
// was last opened on; a found cell becomes that view's current cell, and a search that
// finds nothing shows its message in an information box. GUI thread only.
#include <QDialog>

#include "grid_view.h"
#include "table/find_dialog.h"

class QCheckBox;
class QComboBox;
class QPushButton;
class QRadioButton;

namespace ln40::gui {

class FindTextDialog : public QDialog {
  Q_OBJECT

 public:
  // `state` must outlive the dialog; `run` runs the search (the window's error report).
  FindTextDialog(FindDialogState& state, CommandRunner run, QWidget* parent);

  // Shows the dialog over `view`'s table, with the widgets as the state says.
  void OpenOn(GridView* view);
  GridView* Target() const { return target_; }

  // What "Ok" does.
  void Search();

 private:
  // The widgets from the state.
  void ShowState();

  FindDialogState& state_;
  CommandRunner run_;
  GridView* target_ = nullptr;
  QComboBox* text_ = nullptr;
  QCheckBox* directions_[4] = {};
  QRadioButton* scopes_[3] = {};
  QCheckBox* boxes_[6] = {};
  QPushButton* ok_ = nullptr;
  bool showing_ = false;  // the widgets are being set from the state
};

}  // namespace ln40::gui
