#include "print_settings_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFileDialog>
#include <QFontDialog>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QTabWidget>
#include <QVBoxLayout>
#include <cmath>

#include "print_preview.h"
#include "qt_text.h"
#include "reports/safe_file.h"

namespace ln40::gui {
namespace {

constexpr int kPreviewWidth = 260;

const char* const kPositions[] = {"None",        "Top left",     "Top right",    "Top center",
                                  "Bottom left", "Bottom right", "Bottom center"};
const char* const kBorders[] = {"None",   "Single",   "Double",          "Vertical",
                                "Horizontal", "Around", "Around vertical", "Around horizontal"};
const char* const kLineStyles[] = {"Solid", "Dash", "Dot", "Dash dot", "Dash dot dot", "None"};
const char* const kFits[] = {"Never", "Grow", "Shrink", "Always"};

// The INI filter of the file dialogs, as Qt writes filters.
const QString kIniFilters = QStringLiteral("INI files (*.ini);;All files (*)");

template <size_t N>
QComboBox* Choices(const char* const (&items)[N], const char* name, QWidget* parent) {
  auto* box = new QComboBox(parent);
  box->setObjectName(QString::fromLatin1(name));
  for (const char* item : items) box->addItem(QString::fromLatin1(item));
  return box;
}

QCheckBox* Box(const char* text, const char* name, QWidget* parent) {
  auto* box = new QCheckBox(QString::fromLatin1(text), parent);
  box->setObjectName(QString::fromLatin1(name));
  return box;
}

QLineEdit* Line(const char* name, QWidget* parent) {
  auto* line = new QLineEdit(parent);
  line->setObjectName(QString::fromLatin1(name));
  return line;
}

// Lengths are kept in tenths of a millimetre and shown in millimetres.
QDoubleSpinBox* Millimetres(const char* name, double maximum, QWidget* parent) {
  auto* box = new QDoubleSpinBox(parent);
  box->setObjectName(QString::fromLatin1(name));
  box->setDecimals(1);
  box->setSingleStep(1.0);
  box->setRange(0.0, maximum);
  box->setSuffix(QStringLiteral(" mm"));
  return box;
}

int Tenths(const QDoubleSpinBox* box) { return static_cast<int>(std::lround(box->value() * 10.0)); }

// A row of a form: the label's mnemonic moves the focus to the field.
void AddRow(QFormLayout* form, const char* label, QWidget* field) {
  auto* text = new QLabel(QString::fromLatin1(label), field->parentWidget());
  text->setBuddy(field);
  form->addRow(text, field);
}

}  // namespace

PrintSettingsDialog::PrintSettingsDialog(const TGridTable& table, const TableLook& look, PrintSettings& settings,
                                         const PrintDialogOptions& options, TDateTime now, const Locale& locale,
                                         QWidget* parent)
    : QDialog(parent),
      table_(table),
      look_(look),
      settings_(settings),
      edit_(settings),
      options_(options),
      now_(now),
      locale_(locale) {
  setObjectName(QStringLiteral("PrintSettingsDialog"));
  setWindowTitle(QStringLiteral("Print Settings"));
  setModal(true);

  choose_file_ = [this](bool save) -> std::optional<ChosenFile> {
    QFileDialog dialog(this, save ? QStringLiteral("Save settings") : QStringLiteral("Load settings"));
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog.setNameFilters(kIniFilters.split(QStringLiteral(";;")));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    ChosenFile chosen;
    chosen.path = dialog.selectedFiles().first().toStdString();
    chosen.filterIndex = static_cast<int>(dialog.nameFilters().indexOf(dialog.selectedNameFilter())) + 1;
    return chosen;
  };
  choose_font_ = [this](const FontSpec& current, const QString& title) -> std::optional<FontSpec> {
    QFont font(ToQt(current.name), current.size);
    font.setBold(current.bold);
    font.setItalic(current.italic);
    font.setUnderline(current.underline);
    bool ok = false;
    const QFont chosen = QFontDialog::getFont(&ok, font, this, title);
    if (!ok) return std::nullopt;
    FontSpec picked;
    picked.name = FromQt(chosen.family());
    picked.size = std::max(1, static_cast<int>(std::lround(chosen.pointSizeF())));
    picked.bold = chosen.bold();
    picked.italic = chosen.italic();
    picked.underline = chosen.underline();
    return picked;
  };
  show_message_ = [this](const QString& text) { QMessageBox::warning(this, windowTitle(), text); };

  pages_ = new QTabWidget(this);
  pages_->setObjectName(QStringLiteral("PageControl"));
  pages_->addTab(BuildGeneralPage(), QStringLiteral("General"));
  pages_->addTab(BuildHeadersPage(), QStringLiteral("Headers / Footers"));
  pages_->addTab(BuildMarginsPage(), QStringLiteral("Margins"));
  borders_group_->setEnabled(options.bordersEnabled);

  preview_ = new QLabel(this);
  preview_->setObjectName(QStringLiteral("Preview"));
  preview_->setFrameStyle(QFrame::Box | QFrame::Plain);
  preview_->setAlignment(Qt::AlignCenter);
  preview_->setVisible(options.preview);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  buttons->setObjectName(QStringLiteral("Buttons"));
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

  auto* top = new QHBoxLayout;
  top->addWidget(pages_, 1);
  top->addWidget(preview_, 0, Qt::AlignTop);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addWidget(buttons);

  ShowSettings();
}

QWidget* PrintSettingsDialog::BuildGeneralPage() {
  auto* page = new QWidget(this);
  auto* layout = new QVBoxLayout(page);

  borders_group_ = new QGroupBox(QStringLiteral("Borders:"), page);
  borders_group_->setObjectName(QStringLiteral("BordersGroup"));
  auto* borders = new QFormLayout(borders_group_);
  border_ = Choices(kBorders, "Border", borders_group_);
  border_style_ = Choices(kLineStyles, "BorderStyle", borders_group_);
  AddRow(borders, "&Border:", border_);
  AddRow(borders, "Border &Style:", border_style_);
  layout->addWidget(borders_group_);

  auto* general = new QGroupBox(QStringLiteral("General:"), page);
  auto* general_form = new QFormLayout(general);
  fit_to_page_ = Choices(kFits, "FitToPage", general);
  AddRow(general_form, "Fit to &Page:", fit_to_page_);
  auto_size_columns_ = Box("&AutoSize Columns", "AutoSizeColumns", general);
  centered_ = Box("&Center on Page", "CenterOnPage", general);
  repeat_rows_ = Box("Repeat Fixed Ro&ws", "RepeatFixedRows", general);
  repeat_cols_ = Box("Repeat Fi&xed Columns", "RepeatFixedColumns", general);
  print_graphics_ = Box("Print graphics", "PrintGraphics", general);
  auto_size_rows_ = Box("AutoSize Rows", "AutoSizeRows", general);
  for (QCheckBox* box : {auto_size_columns_, centered_, repeat_rows_, repeat_cols_, print_graphics_, auto_size_rows_}) {
    general_form->addRow(box);
  }
  layout->addWidget(general);

  auto* fonts = new QGroupBox(QStringLiteral("Fonts:"), page);
  auto* fonts_layout = new QVBoxLayout(fonts);
  const struct {
    const char* text;
    const char* name;
    FontSpec PrintSettings::*font;
  } font_buttons[] = {{"Header Font", "HeaderFont", &PrintSettings::HeaderFont},
                      {"Footer Font", "FooterFont", &PrintSettings::FooterFont},
                      {"Table Font", "TableFont", &PrintSettings::Font},
                      {"Fixed Font", "FixedFont", &PrintSettings::FixedFont}};
  auto* font_row = new QHBoxLayout;
  for (const auto& entry : font_buttons) {
    auto* button = new QPushButton(QString::fromLatin1(entry.text), fonts);
    button->setObjectName(QString::fromLatin1(entry.name));
    const QString title = QString::fromLatin1(entry.text);
    FontSpec PrintSettings::*font = entry.font;
    connect(button, &QPushButton::clicked, this, [this, font, title] { ChooseFont(font, title); });
    font_row->addWidget(button);
  }
  fonts_layout->addLayout(font_row);
  use_display_font_ = Box("Use display font", "UseDisplayFont", fonts);
  fonts_layout->addWidget(use_display_font_);
  layout->addWidget(fonts);
  layout->addStretch(1);

  for (QComboBox* box : {border_, border_style_, fit_to_page_}) {
    connect(box, &QComboBox::currentIndexChanged, this, [this] { ControlsChanged(); });
  }
  for (QCheckBox* box : {auto_size_columns_, centered_, repeat_rows_, repeat_cols_, print_graphics_, auto_size_rows_,
                         use_display_font_}) {
    connect(box, &QCheckBox::toggled, this, [this] { ControlsChanged(); });
  }
  return page;
}

QWidget* PrintSettingsDialog::BuildHeadersPage() {
  auto* page = new QWidget(this);
  auto* layout = new QVBoxLayout(page);

  auto* date_time = new QGroupBox(QStringLiteral("Date / Time:"), page);
  auto* date_form = new QFormLayout(date_time);
  date_position_ = Choices(kPositions, "DatePosition", date_time);
  time_position_ = Choices(kPositions, "TimePosition", date_time);
  date_format_ = Line("DateFormat", date_time);
  AddRow(date_form, "&Date Position:", date_position_);
  AddRow(date_form, "&Time Position:", time_position_);
  AddRow(date_form, "Date &Format:", date_format_);
  layout->addWidget(date_time);

  auto* title = new QGroupBox(QStringLiteral("Title:"), page);
  auto* title_form = new QFormLayout(title);
  title_text_ = new QPlainTextEdit(title);
  title_text_->setObjectName(QStringLiteral("TitleText"));
  title_text_->setFixedHeight(title_text_->fontMetrics().lineSpacing() * 3 + 12);
  title_position_ = Choices(kPositions, "TitlePosition", title);
  AddRow(title_form, "Title Te&xt:", title_text_);
  AddRow(title_form, "Title Po&sition:", title_position_);
  layout->addWidget(title);

  auto* numbers = new QGroupBox(QStringLiteral("Page Numbers:"), page);
  auto* numbers_form = new QFormLayout(numbers);
  page_prefix_ = Line("PagePrefix", numbers);
  page_separator_ = Line("PageSeparator", numbers);
  page_suffix_ = Line("PageSuffix", numbers);
  page_position_ = Choices(kPositions, "PagesPosition", numbers);
  AddRow(numbers_form, "Pr&efix:", page_prefix_);
  AddRow(numbers_form, "Sep&arator:", page_separator_);
  AddRow(numbers_form, "S&uffix:", page_suffix_);
  AddRow(numbers_form, "&Pages Position:", page_position_);
  layout->addWidget(numbers);
  layout->addStretch(1);

  for (QComboBox* box : {date_position_, time_position_, title_position_, page_position_}) {
    connect(box, &QComboBox::currentIndexChanged, this, [this] { ControlsChanged(); });
  }
  for (QLineEdit* line : {date_format_, page_prefix_, page_separator_, page_suffix_}) {
    connect(line, &QLineEdit::textChanged, this, [this] { ControlsChanged(); });
  }
  connect(title_text_, &QPlainTextEdit::textChanged, this, [this] { ControlsChanged(); });
  return page;
}

QWidget* PrintSettingsDialog::BuildMarginsPage() {
  auto* page = new QWidget(this);
  auto* layout = new QVBoxLayout(page);

  auto* margins = new QGroupBox(QStringLiteral("Margins:"), page);
  auto* margins_form = new QFormLayout(margins);
  top_margin_ = Millimetres("TopMargin", 500, margins);
  left_margin_ = Millimetres("LeftMargin", 500, margins);
  right_margin_ = Millimetres("RightMargin", 500, margins);
  bottom_margin_ = Millimetres("BottomMargin", 500, margins);
  AddRow(margins_form, "&Top Margin :", top_margin_);
  AddRow(margins_form, "&Left Margin :", left_margin_);
  AddRow(margins_form, "&Right Margin :", right_margin_);
  AddRow(margins_form, "&Bottom Margin :", bottom_margin_);
  layout->addWidget(margins);

  auto* orientation = new QGroupBox(QStringLiteral("Orientation:"), page);
  auto* orientation_row = new QHBoxLayout(orientation);
  portrait_ = new QRadioButton(QStringLiteral("Portrait"), orientation);
  portrait_->setObjectName(QStringLiteral("Portrait"));
  landscape_ = new QRadioButton(QStringLiteral("Landscape"), orientation);
  landscape_->setObjectName(QStringLiteral("Landscape"));
  orientation_row->addWidget(portrait_);
  orientation_row->addWidget(landscape_);
  layout->addWidget(orientation);

  auto* spacing = new QGroupBox(QStringLiteral("Spacing:"), page);
  auto* spacing_form = new QFormLayout(spacing);
  row_spacing_ = Millimetres("RowSpacing", 100, spacing);
  column_spacing_ = Millimetres("ColumnSpacing", 100, spacing);
  title_margin_ = Millimetres("TitleMargin", 100, spacing);
  AddRow(spacing_form, "Row &Spacing :", row_spacing_);
  AddRow(spacing_form, "C&olumn Spacing :", column_spacing_);
  AddRow(spacing_form, "Title &Margin :", title_margin_);
  layout->addWidget(spacing);

  auto* files = new QGroupBox(QStringLiteral("Save settings"), page);
  auto* files_row = new QHBoxLayout(files);
  auto* load = new QPushButton(QStringLiteral("&Load settings"), files);
  load->setObjectName(QStringLiteral("LoadSettings"));
  auto* save = new QPushButton(QStringLiteral("&Save settings"), files);
  save->setObjectName(QStringLiteral("SaveSettings"));
  connect(load, &QPushButton::clicked, this, [this] { LoadSettingsClicked(); });
  connect(save, &QPushButton::clicked, this, [this] { SaveSettingsClicked(); });
  files_row->addWidget(load);
  files_row->addWidget(save);
  layout->addWidget(files);
  layout->addStretch(1);

  for (QDoubleSpinBox* box :
       {top_margin_, left_margin_, right_margin_, bottom_margin_, row_spacing_, column_spacing_, title_margin_}) {
    connect(box, &QDoubleSpinBox::valueChanged, this, [this] { ControlsChanged(); });
  }
  connect(portrait_, &QRadioButton::toggled, this, [this] { ControlsChanged(); });
  return page;
}

void PrintSettingsDialog::ShowSettings() {
  showing_ = true;
  const PrintSettings& s = settings_;
  border_->setCurrentIndex(static_cast<int>(s.Borders));
  border_style_->setCurrentIndex(static_cast<int>(s.BorderStyle));
  fit_to_page_->setCurrentIndex(static_cast<int>(s.FitToPage));
  auto_size_columns_->setChecked(!s.NoAutoSize);
  centered_->setChecked(s.Centered);
  repeat_rows_->setChecked(s.RepeatFixedRows);
  repeat_cols_->setChecked(s.RepeatFixedCols);
  print_graphics_->setChecked(s.PrintGraphics);
  auto_size_rows_->setChecked(!s.NoAutoSizeRow);
  use_display_font_->setChecked(s.UseDisplayFont);
  date_position_->setCurrentIndex(static_cast<int>(s.Date));
  time_position_->setCurrentIndex(static_cast<int>(s.Time));
  date_format_->setText(ToQt(s.DateFormat));
  QStringList lines;
  for (const std::string& line : s.TitleLines) lines << ToQt(line);
  title_text_->setPlainText(lines.join(QLatin1Char('\n')));
  title_position_->setCurrentIndex(static_cast<int>(s.Title));
  page_prefix_->setText(ToQt(s.PagePrefix));
  page_separator_->setText(ToQt(s.PageNumSep));
  page_suffix_->setText(ToQt(s.PageSuffix));
  page_position_->setCurrentIndex(static_cast<int>(s.PageNr));
  top_margin_->setValue(s.HeaderSize / 10.0);
  left_margin_->setValue(s.LeftSize / 10.0);
  right_margin_->setValue(s.RightSize / 10.0);
  bottom_margin_->setValue(s.FooterSize / 10.0);
  portrait_->setChecked(s.Orientation == PageOrientation::Portrait);
  landscape_->setChecked(s.Orientation == PageOrientation::Landscape);
  row_spacing_->setValue(s.RowSpacing / 10.0);
  column_spacing_->setValue(s.ColumnSpacing / 10.0);
  title_margin_->setValue(s.TitleSpacing / 10.0);
  showing_ = false;
  UpdatePreview();
}

void PrintSettingsDialog::ControlsChanged() {
  if (showing_) return;
  PrintSettings& s = settings_;
  s.Borders = static_cast<PrintBorders>(std::max(0, border_->currentIndex()));
  s.BorderStyle = static_cast<LineStyle>(std::max(0, border_style_->currentIndex()));
  s.FitToPage = static_cast<PrintFit>(std::max(0, fit_to_page_->currentIndex()));
  s.NoAutoSize = !auto_size_columns_->isChecked();
  s.Centered = centered_->isChecked();
  s.RepeatFixedRows = repeat_rows_->isChecked();
  s.RepeatFixedCols = repeat_cols_->isChecked();
  s.PrintGraphics = print_graphics_->isChecked();
  s.NoAutoSizeRow = !auto_size_rows_->isChecked();
  s.UseDisplayFont = use_display_font_->isChecked();
  s.Date = static_cast<PrintPosition>(std::max(0, date_position_->currentIndex()));
  s.Time = static_cast<PrintPosition>(std::max(0, time_position_->currentIndex()));
  s.DateFormat = FromQt(date_format_->text());
  // The box edits the title lines; the text a command set has become these lines.
  s.TitleLines.clear();
  const QString title = title_text_->toPlainText();
  if (!title.isEmpty()) {
    for (const QString& line : title.split(QLatin1Char('\n'))) s.TitleLines.push_back(FromQt(line));
  }
  s.Title = static_cast<PrintPosition>(std::max(0, title_position_->currentIndex()));
  s.PagePrefix = FromQt(page_prefix_->text());
  s.PageNumSep = FromQt(page_separator_->text());
  s.PageSuffix = FromQt(page_suffix_->text());
  s.PageNr = static_cast<PrintPosition>(std::max(0, page_position_->currentIndex()));
  s.HeaderSize = Tenths(top_margin_);
  s.LeftSize = Tenths(left_margin_);
  s.RightSize = Tenths(right_margin_);
  s.FooterSize = Tenths(bottom_margin_);
  s.Orientation = landscape_->isChecked() ? PageOrientation::Landscape : PageOrientation::Portrait;
  s.RowSpacing = Tenths(row_spacing_);
  s.ColumnSpacing = Tenths(column_spacing_);
  s.TitleSpacing = Tenths(title_margin_);
  UpdatePreview();
}

void PrintSettingsDialog::UpdatePreview() {
  if (!options_.preview) return;
  preview_image_ = RenderFirstPagePreview(table_, look_, settings_, kPreviewWidth, now_, locale_);
  preview_->setPixmap(QPixmap::fromImage(preview_image_));
}

void PrintSettingsDialog::ChooseFont(FontSpec PrintSettings::*font, const QString& title) {
  if (!choose_font_) return;
  if (const std::optional<FontSpec> chosen = choose_font_(settings_.*font, title)) {
    settings_.*font = *chosen;
    UpdatePreview();
  }
}

void PrintSettingsDialog::LoadSettingsClicked() {
  const std::optional<ChosenFile> chosen = choose_file_ ? choose_file_(false) : std::nullopt;
  if (!chosen) return;
  std::string text;
  if (!ReadFileBytes(chosen->path, text)) {
    show_message_(QStringLiteral("Cannot open file ") + QString::fromStdString(chosen->path));
    return;
  }
  PrintSettings loaded = settings_;
  if (!ReadPrintSettingsIni(text, loaded)) {
    show_message_(QStringLiteral("The file ") + QString::fromStdString(chosen->path) +
                  QStringLiteral(" holds no print settings (no [PRINTSETTINGS] section)."));
    return;
  }
  // The dialog shows a title as its lines, as it does when it opens.
  if (!loaded.TitleText.empty()) {
    loaded.TitleLines = SplitLines(loaded.TitleText);
    loaded.TitleText.clear();
  }
  settings_ = loaded;
  ShowSettings();
}

void PrintSettingsDialog::SaveSettingsClicked() {
  const std::optional<ChosenFile> chosen = choose_file_ ? choose_file_(true) : std::nullopt;
  if (!chosen) return;
  const std::string path = IniFileNameForSave(chosen->path, chosen->filterIndex);
  // Other sections of an existing file stay as they are.
  std::string existing;
  if (!ReadFileBytes(path, existing)) existing.clear();
  if (!ReplaceFileContents(path, WritePrintSettingsIni(existing, settings_))) {
    show_message_(QStringLiteral("Cannot Create file ") + QString::fromStdString(path));
  }
}

void PrintSettingsDialog::accept() {
  edit_.Accept();
  QDialog::accept();
}

void PrintSettingsDialog::reject() {
  edit_.Cancel();
  QDialog::reject();
}

}  // namespace ln40::gui
