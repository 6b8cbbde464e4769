#pragma once
// The modal "Print Settings" dialog: three pages of controls that edit one table's
// PrintSettings directly, a preview of the first page redrawn after every change, and the
// INI file with the "PRINTSETTINGS" section to save the settings to or load them from.
// "OK" keeps the edits; "Cancel" (or closing the dialog) puts every setting back, fonts
// included. The file and font choosers can be replaced, so tests run without native dialogs.
#include <QDialog>
#include <QImage>
#include <functional>
#include <optional>
#include <string>

#include "reports/print_settings.h"
#include "reports/report_commands.h"
#include "table/grid_table.h"
#include "table/table_look.h"
#include "text/date_time.h"
#include "text/locale.h"

class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QRadioButton;
class QTabWidget;

namespace ln40::gui {

class PrintSettingsDialog : public QDialog {
  Q_OBJECT

 public:
  // A file chosen for "&Load settings" (save = false) or "&Save settings" (save = true):
  // the UTF-8 file name and the 1-based index of the chosen filter; nothing when cancelled.
  struct ChosenFile {
    std::string path;
    int filterIndex = 1;
  };
  using FileChooser = std::function<std::optional<ChosenFile>(bool save)>;
  // A font chosen with the "... Font" buttons; nothing when cancelled.
  using FontChooser = std::function<std::optional<FontSpec>(const FontSpec& current, const QString& title)>;
  using MessageSink = std::function<void(const QString& text)>;

  PrintSettingsDialog(const TGridTable& table, const TableLook& look, PrintSettings& settings,
                      const PrintDialogOptions& options, TDateTime now, const Locale& locale,
                      QWidget* parent = nullptr);

  void SetFileChooser(FileChooser chooser) { choose_file_ = std::move(chooser); }
  void SetFontChooser(FontChooser chooser) { choose_font_ = std::move(chooser); }
  void SetMessageSink(MessageSink sink) { show_message_ = std::move(sink); }

  // The buttons of the "Save settings" group and of the "Fonts:" group.
  void LoadSettingsClicked();
  void SaveSettingsClicked();
  void ChooseFont(FontSpec PrintSettings::*font, const QString& title);
  void ChooseTableFont() { ChooseFont(&PrintSettings::Font, QStringLiteral("Table Font")); }

  // The controls show the settings anew (after a load).
  void ShowSettings();
  // The last preview drawn (empty when the dialog shows none).
  const QImage& PreviewImage() const { return preview_image_; }
  PrintSettings& Settings() { return settings_; }

  void accept() override;
  void reject() override;

 private:
  QWidget* BuildGeneralPage();
  QWidget* BuildHeadersPage();
  QWidget* BuildMarginsPage();
  // Reads every control into the settings, then redraws the preview.
  void ControlsChanged();
  void UpdatePreview();

  const TGridTable& table_;
  const TableLook& look_;
  PrintSettings& settings_;
  PrintSettingsEdit edit_;
  PrintDialogOptions options_;
  TDateTime now_;
  Locale locale_;
  bool showing_ = false;  // the controls are being set from the settings

  FileChooser choose_file_;
  FontChooser choose_font_;
  MessageSink show_message_;

  QTabWidget* pages_ = nullptr;
  QGroupBox* borders_group_ = nullptr;
  QComboBox* border_ = nullptr;
  QComboBox* border_style_ = nullptr;
  QComboBox* fit_to_page_ = nullptr;
  QCheckBox* auto_size_columns_ = nullptr;
  QCheckBox* centered_ = nullptr;
  QCheckBox* repeat_rows_ = nullptr;
  QCheckBox* repeat_cols_ = nullptr;
  QCheckBox* print_graphics_ = nullptr;
  QCheckBox* auto_size_rows_ = nullptr;
  QCheckBox* use_display_font_ = nullptr;
  QComboBox* date_position_ = nullptr;
  QComboBox* time_position_ = nullptr;
  QLineEdit* date_format_ = nullptr;
  QPlainTextEdit* title_text_ = nullptr;
  QComboBox* title_position_ = nullptr;
  QLineEdit* page_prefix_ = nullptr;
  QLineEdit* page_separator_ = nullptr;
  QLineEdit* page_suffix_ = nullptr;
  QComboBox* page_position_ = nullptr;
  QDoubleSpinBox* top_margin_ = nullptr;
  QDoubleSpinBox* left_margin_ = nullptr;
  QDoubleSpinBox* right_margin_ = nullptr;
  QDoubleSpinBox* bottom_margin_ = nullptr;
  QRadioButton* portrait_ = nullptr;
  QRadioButton* landscape_ = nullptr;
  QDoubleSpinBox* row_spacing_ = nullptr;
  QDoubleSpinBox* column_spacing_ = nullptr;
  QDoubleSpinBox* title_margin_ = nullptr;
  QLabel* preview_ = nullptr;
  QImage preview_image_;
};

}  // namespace ln40::gui
