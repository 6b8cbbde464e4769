#pragma once
// The about box: the program's name, version and maker, with a link to the maker's web
// site. Created once with the main window and only shown and hidden after that; shown
// modally, centred on the screen; "OK" or the frame's close button closes it, Escape not.
#include <QDialog>
#include <functional>
#include <string>

class QLabel;
class QPushButton;

namespace ln40::gui {

class AboutBox : public QDialog {
  Q_OBJECT

 public:
  // `open_url` opens the maker's address when the link is clicked.
  AboutBox(std::function<void(const std::string&)> open_url, QWidget* parent = nullptr);

  // Shows the box modally and returns when it is closed.
  void ShowModal();

 protected:
  void keyPressEvent(QKeyEvent* event) override;

 private:
  std::function<void(const std::string&)> open_url_;
};

}  // namespace ln40::gui
