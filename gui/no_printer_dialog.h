#pragma once
// The print dialog of a computer without a printer: it says that no printer is set up and
// offers the PDF file at once, its name preset from the list's name ("Startliste V\xE5rl\xF8pet
// 10.10.04.pdf" in the home folder), with "Browse..." to pick another place. Modal.
#include <QDialog>
#include <QString>

class QLineEdit;

namespace ln40::gui {

class NoPrinterDialog : public QDialog {
  Q_OBJECT

 public:
  // `suggested`: the full path of the PDF file offered.
  explicit NoPrinterDialog(const QString& suggested, QWidget* parent = nullptr);

  // The PDF file as it stands in the field, ".pdf" added to a name without it.
  QString PdfFile() const;

 private:
  void Browse();

  QLineEdit* file_;
};

}  // namespace ln40::gui
