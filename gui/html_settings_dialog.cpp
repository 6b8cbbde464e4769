#include "html_settings_dialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "qt_text.h"

namespace ln40::gui {
namespace {

// "HTML Files (*.htm, *.html)|*.htm;*.html|All Files (*.*)|*.*" as Qt writes filters.
const QString kHtmlFilters = QStringLiteral("HTML Files (*.htm *.html);;All Files (*)");

QSpinBox* Number(const char* name, int maximum, QWidget* parent) {
  auto* box = new QSpinBox(parent);
  box->setObjectName(QString::fromLatin1(name));
  box->setRange(0, maximum);
  return box;
}

QCheckBox* Box(const char* text, const char* name, bool checked, QWidget* parent) {
  auto* box = new QCheckBox(QString::fromLatin1(text), parent);
  box->setObjectName(QString::fromLatin1(name));
  box->setChecked(checked);
  return box;
}

QLineEdit* Line(const char* name, const QString& text, QWidget* parent) {
  auto* line = new QLineEdit(text, parent);
  line->setObjectName(QString::fromLatin1(name));
  return line;
}

void AddRow(QFormLayout* form, const char* label, QWidget* field) {
  auto* text = new QLabel(QString::fromLatin1(label), field->parentWidget());
  text->setBuddy(field);
  form->addRow(text, field);
}

}  // namespace

HtmlSettingsDialog::HtmlSettingsDialog(HTMLSettings& settings, Preview preview, QWidget* parent)
    : QDialog(parent), settings_(settings), preview_(std::move(preview)) {
  setObjectName(QStringLiteral("HtmlSettingsDialog"));
  setWindowTitle(QStringLiteral("HTML Settings"));
  setModal(true);
  choose_file_ = [this](const QString& title) -> std::optional<std::string> {
    QFileDialog dialog(this, title);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilters(kHtmlFilters.split(QStringLiteral(";;")));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    return dialog.selectedFiles().first().toStdString();
  };

  auto* general = new QGroupBox(QStringLiteral("General:"), this);
  auto* general_layout = new QFormLayout(general);
  width_ = Number("TableWidth", 100, general);
  width_->setValue(settings.Width);
  AddRow(general_layout, "Table &Width (in percent):", width_);
  colors_ = Box("Use Table's &Colors", "UseTableColors", settings.SaveColor, general);
  fonts_ = Box("Use Table's &Fonts", "UseTableFonts", settings.SaveFonts, general);
  special_chars_ = Box("Convert special characters", "ConvertSpecialChars", settings.ConvertSpecialChars, general);
  non_breaking_ = Box("Export as non breaking text", "NonBreakingText", settings.NonBreakingText, general);
  auto_show_ = Box("Auto show output", "AutoShowOutput", settings.AutoPreview, general);
  for (QCheckBox* box : {colors_, fonts_, special_chars_, non_breaking_, auto_show_}) general_layout->addRow(box);

  auto* cells = new QGroupBox(QStringLiteral("Cells:"), this);
  auto* cells_layout = new QFormLayout(cells);
  border_ = Number("BorderSize", 10, cells);
  border_->setValue(settings.BorderSize);
  spacing_ = Number("CellSpacing", 10, cells);
  spacing_->setValue(settings.CellSpacing);
  padding_ = Number("CellPadding", 10, cells);
  padding_->setValue(settings.CellPadding);
  AddRow(cells_layout, "&Border Size:", border_);
  AddRow(cells_layout, "Ce&ll Spacing:", spacing_);
  AddRow(cells_layout, "Cell &Padding:", padding_);

  auto* tags = new QGroupBox(QStringLiteral("Tags:"), this);
  auto* tags_layout = new QFormLayout(tags);
  prefix_ = Line("PrefixTags", ToQt(settings.PrefixTag), tags);
  suffix_ = Line("SuffixTags", ToQt(settings.SuffixTag), tags);
  style_ = Line("TableStyleTags", ToQt(settings.TableStyle), tags);
  AddRow(tags_layout, "&Prefix Tags:", prefix_);
  AddRow(tags_layout, "&Suffix Tags:", suffix_);
  AddRow(tags_layout, "Table St&yle Tags::", style_);

  auto* files = new QGroupBox(QStringLiteral("Files:"), this);
  auto* files_layout = new QFormLayout(files);
  const auto file_row = [&](const char* label, const char* name, const std::string& value, const char* button_name,
                            void (HtmlSettingsDialog::*choose)()) {
    auto* line = Line(name, QString::fromStdString(value), files);
    auto* button = new QPushButton(QStringLiteral(". . ."), files);
    button->setFixedWidth(button->fontMetrics().horizontalAdvance(button->text()) + 24);
    button->setObjectName(QString::fromLatin1(button_name));
    connect(button, &QPushButton::clicked, this, [this, choose] { (this->*choose)(); });
    auto* row = new QHBoxLayout;
    row->addWidget(line, 1);
    row->addWidget(button);
    auto* text = new QLabel(QString::fromLatin1(label), files);
    text->setBuddy(line);
    files_layout->addRow(text, row);
    return line;
  };
  header_file_ = file_row("&Header:", "HeaderFile", settings.HeaderFile, "ChooseHeader",
                          &HtmlSettingsDialog::ChooseHeaderFile);
  footer_file_ = file_row("F&ooter:", "FooterFile", settings.FooterFile, "ChooseFooter",
                          &HtmlSettingsDialog::ChooseFooterFile);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  buttons->setObjectName(QStringLiteral("Buttons"));
  QPushButton* preview_button = buttons->addButton(QStringLiteral("Preview"), QDialogButtonBox::ActionRole);
  preview_button->setObjectName(QStringLiteral("Preview"));
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  connect(preview_button, &QPushButton::clicked, this, [this] { PreviewClicked(); });

  auto* grid = new QGridLayout;
  grid->addWidget(general, 0, 0);
  grid->addWidget(cells, 0, 1);
  grid->addWidget(tags, 1, 0, 1, 2);
  grid->addWidget(files, 2, 0, 1, 2);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(grid);
  layout->addWidget(buttons);
}

HTMLSettings HtmlSettingsDialog::Values() const {
  HTMLSettings values = settings_;
  values.Width = width_->value();
  values.SaveColor = colors_->isChecked();
  values.SaveFonts = fonts_->isChecked();
  values.ConvertSpecialChars = special_chars_->isChecked();
  values.NonBreakingText = non_breaking_->isChecked();
  values.AutoPreview = auto_show_->isChecked();
  values.BorderSize = border_->value();
  values.CellSpacing = spacing_->value();
  values.CellPadding = padding_->value();
  values.PrefixTag = FromQt(prefix_->text());
  values.SuffixTag = FromQt(suffix_->text());
  values.TableStyle = FromQt(style_->text());
  values.HeaderFile = header_file_->text().toStdString();
  values.FooterFile = footer_file_->text().toStdString();
  return values;
}

void HtmlSettingsDialog::PreviewClicked() {
  Store();
  if (preview_) preview_(settings_);
}

void HtmlSettingsDialog::ChooseHeaderFile() {
  if (const auto chosen = choose_file_(QStringLiteral("Header"))) header_file_->setText(QString::fromStdString(*chosen));
}

void HtmlSettingsDialog::ChooseFooterFile() {
  if (const auto chosen = choose_file_(QStringLiteral("Footer"))) footer_file_->setText(QString::fromStdString(*chosen));
}

void HtmlSettingsDialog::accept() {
  Store();
  QDialog::accept();
}

}  // namespace ln40::gui
