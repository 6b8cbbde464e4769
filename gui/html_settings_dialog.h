#pragma once
// The "HTML Settings" dialog: a table's HTMLSettings in four groups ("General:", "Cells:",
// "Tags:", "Files:"). "OK" stores the values, "Cancel" drops them, "Preview" stores them and
// hands them to the preview (which writes the table to a temporary page and opens it).
#include <QDialog>
#include <functional>
#include <optional>
#include <string>

#include "reports/html_export.h"

class QCheckBox;
class QLineEdit;
class QSpinBox;

namespace ln40::gui {

class HtmlSettingsDialog : public QDialog {
  Q_OBJECT

 public:
  using Preview = std::function<void(const HTMLSettings& settings)>;
  // Picks the header or footer file: a UTF-8 file name, nothing when cancelled.
  using FileChooser = std::function<std::optional<std::string>(const QString& title)>;

  HtmlSettingsDialog(HTMLSettings& settings, Preview preview, QWidget* parent = nullptr);

  void SetFileChooser(FileChooser chooser) { choose_file_ = std::move(chooser); }

  // "Preview": stores the values and runs the preview.
  void PreviewClicked();
  // The ". . ." buttons.
  void ChooseHeaderFile();
  void ChooseFooterFile();

  void accept() override;

 private:
  // The values of the controls, on top of the settings the dialog was opened with (so
  // values it has no control for, such as the column widths, are kept).
  HTMLSettings Values() const;
  void Store() { settings_ = Values(); }

  HTMLSettings& settings_;
  Preview preview_;
  FileChooser choose_file_;

  QSpinBox* width_ = nullptr;
  QCheckBox* colors_ = nullptr;
  QCheckBox* fonts_ = nullptr;
  QCheckBox* special_chars_ = nullptr;
  QCheckBox* non_breaking_ = nullptr;
  QCheckBox* auto_show_ = nullptr;
  QSpinBox* border_ = nullptr;
  QSpinBox* spacing_ = nullptr;
  QSpinBox* padding_ = nullptr;
  QLineEdit* prefix_ = nullptr;
  QLineEdit* suffix_ = nullptr;
  QLineEdit* style_ = nullptr;
  QLineEdit* header_file_ = nullptr;
  QLineEdit* footer_file_ = nullptr;
};

}  // namespace ln40::gui
