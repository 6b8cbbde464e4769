// The printing side of the window on Qt's offscreen platform: the "Print Settings" dialog
// (its controls, the preview, Cancel, the INI files), the "HTML Settings" dialog, the Qt
// canvas, a list printed into a PDF file, and the toolbar's report commands.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QDoubleSpinBox>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSpinBox>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>
#include <cstdio>
#include <filesystem>

#include "gui_test_support.h"
#include "html_settings_dialog.h"
#include "link/discovery_sysfs.h"
#include "main_window.h"
#include "no_printer_dialog.h"
#include "print_settings_dialog.h"
#include "qt/qt_print_canvas.h"
#include "qt_print_host.h"
#include "reports/lists.h"
#include "reports/safe_file.h"
#include "sheet/runner_sheet.h"

namespace ln40::gui {
namespace {

namespace fs = std::filesystem;
using testing::App;

// 8 December 2026, noon.
constexpr TDateTime kNow = 46364.5;

class TempFolder {
 public:
  TempFolder() : path_(fs::temp_directory_path() / ("ln40print" + std::to_string(::getpid()))) {
    fs::remove_all(path_);
    fs::create_directories(path_);
  }
  ~TempFolder() { fs::remove_all(path_); }
  std::string File(const std::string& name) const { return (path_ / name).string(); }
  const fs::path& Path() const { return path_; }

 private:
  fs::path path_;
};

TGridTable Sheet(int runners) {
  TGridTable sheet;
  SetUpRunnerSheet(sheet);
  const char* const classes[] = {"H21", "D21", "H17"};
  for (int i = 0; i < runners; ++i) {
    if (i > 0) sheet.AddRow();
    const int row = sheet.RowCount() - 1;
    sheet.SetCell(runner_sheet::kFirstName, row, "Runner" + std::to_string(i));
    sheet.SetCell(runner_sheet::kLastName, row, "S\xF8rby");
    sheet.SetCell(runner_sheet::kClass, row, classes[i % 3]);
    sheet.SetCell(runner_sheet::kClub, row, "Club " + std::to_string(i % 4));
    sheet.SetCell(runner_sheet::kStartTime, row, "10:00:00");
    sheet.SetCell(runner_sheet::kNetTime, row, "00:" + std::to_string(30 + i % 29) + ":00");
  }
  return sheet;
}

// Every setting as the INI file writes it, plus the title text, to compare whole settings.
std::string Describe(const PrintSettings& settings) {
  return WritePrintSettingsIni("", settings) + "TitleText:" + settings.TitleText;
}

int NonWhitePixels(const QImage& image) {
  int count = 0;
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) count += (image.pixel(x, y) & 0xFFFFFF) != 0xFFFFFF ? 1 : 0;
  }
  return count;
}

template <typename T>
T* Child(QWidget& parent, const char* name) {
  T* child = parent.findChild<T*>(QString::fromLatin1(name));
  EXPECT_NE(child, nullptr) << name;
  return child;
}

class PrintDialogTest : public ::testing::Test {
 protected:
  PrintDialogTest() : doc_(BuildResultList(Sheet(40), "Vinter", "Runde 3")) { App(); }

  ListDocument doc_;
};

TEST_F(PrintDialogTest, PagesGroupsAndTheTitleLines) {
  PrintSettingsDialog dialog(doc_.table, doc_.look, doc_.print, PrintDialogOptions{}, kNow, Locale::WorkedExample());
  EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Print Settings"));
  EXPECT_TRUE(dialog.isModal());
  auto* pages = Child<QTabWidget>(dialog, "PageControl");
  ASSERT_EQ(pages->count(), 3);
  EXPECT_EQ(pages->tabText(0), QStringLiteral("General"));
  EXPECT_EQ(pages->tabText(1), QStringLiteral("Headers / Footers"));
  EXPECT_EQ(pages->tabText(2), QStringLiteral("Margins"));
  QStringList groups;
  for (QGroupBox* group : dialog.findChildren<QGroupBox*>()) groups << group->title();
  for (const char* title : {"Borders:", "General:", "Fonts:", "Date / Time:", "Title:", "Page Numbers:", "Margins:",
                            "Orientation:", "Spacing:", "Save settings"}) {
    EXPECT_TRUE(groups.contains(QString::fromLatin1(title))) << title;
  }
  // The command's title text has become the box's lines.
  EXPECT_EQ(Child<QPlainTextEdit>(dialog, "TitleText")->toPlainText(), QStringLiteral("Resultatliste Vinter Runde 3"));
  EXPECT_TRUE(doc_.print.TitleText.empty());
  EXPECT_EQ(Child<QDoubleSpinBox>(dialog, "TopMargin")->value(), 3.0);
  EXPECT_EQ(Child<QComboBox>(dialog, "PagesPosition")->currentText(), QStringLiteral("Bottom center"));
  EXPECT_EQ(Child<QLineEdit>(dialog, "PagePrefix")->text(), QStringLiteral("Vexa timing system LN40     "));
  EXPECT_TRUE(Child<QGroupBox>(dialog, "BordersGroup")->isEnabled());

  PrintDialogOptions lists;
  lists.bordersEnabled = false;
  PrintSettings other = doc_.print;
  PrintSettingsDialog list_dialog(doc_.table, doc_.look, other, lists, kNow, Locale::WorkedExample());
  EXPECT_FALSE(Child<QGroupBox>(list_dialog, "BordersGroup")->isEnabled());
}

TEST_F(PrintDialogTest, ControlsEditTheSettingsAndCancelRestoresEverything) {
  const std::string before = Describe(doc_.print);
  PrintSettingsDialog dialog(doc_.table, doc_.look, doc_.print, PrintDialogOptions{}, kNow, Locale::WorkedExample());
  dialog.SetFontChooser([](const FontSpec&, const QString&) { return FontSpec{"DejaVu Serif", 20, true}; });
  dialog.show();

  Child<QDoubleSpinBox>(dialog, "TopMargin")->setValue(25.0);
  Child<QDoubleSpinBox>(dialog, "RowSpacing")->setValue(1.5);
  Child<QComboBox>(dialog, "Border")->setCurrentIndex(2);
  Child<QComboBox>(dialog, "FitToPage")->setCurrentIndex(3);
  Child<QComboBox>(dialog, "DatePosition")->setCurrentIndex(4);
  Child<QCheckBox>(dialog, "CenterOnPage")->setChecked(false);
  Child<QCheckBox>(dialog, "AutoSizeColumns")->setChecked(false);
  Child<QLineEdit>(dialog, "PageSeparator")->setText(QStringLiteral(" av "));
  Child<QPlainTextEdit>(dialog, "TitleText")->setPlainText(QStringLiteral("Linje 1\nLinje \u00E5"));
  Child<QRadioButton>(dialog, "Landscape")->setChecked(true);
  Child<QPushButton>(dialog, "HeaderFont")->click();
  Child<QPushButton>(dialog, "TableFont")->click();

  const PrintSettings& s = doc_.print;
  EXPECT_EQ(s.HeaderSize, 250);
  EXPECT_EQ(s.RowSpacing, 15);
  EXPECT_EQ(s.Borders, PrintBorders::Double);
  EXPECT_EQ(s.FitToPage, PrintFit::Always);
  EXPECT_EQ(s.Date, PrintPosition::BottomLeft);
  EXPECT_FALSE(s.Centered);
  EXPECT_TRUE(s.NoAutoSize);
  EXPECT_EQ(s.PageNumSep, " av ");
  EXPECT_EQ(s.TitleLines, (std::vector<std::string>{"Linje 1", "Linje \xE5"}));
  EXPECT_EQ(s.Orientation, PageOrientation::Landscape);
  EXPECT_EQ(s.HeaderFont, (FontSpec{"DejaVu Serif", 20, true}));
  EXPECT_EQ(s.Font, (FontSpec{"DejaVu Serif", 20, true}));
  // The preview follows: a landscape page now.
  EXPECT_GT(dialog.PreviewImage().width(), dialog.PreviewImage().height());

  dialog.reject();
  EXPECT_EQ(Describe(doc_.print), before);
  EXPECT_EQ(doc_.print.TitleText, "Resultatliste Vinter Runde 3");
}

TEST_F(PrintDialogTest, OkKeepsTheEdits) {
  PrintSettingsDialog dialog(doc_.table, doc_.look, doc_.print, PrintDialogOptions{}, kNow, Locale::WorkedExample());
  dialog.show();
  Child<QDoubleSpinBox>(dialog, "LeftMargin")->setValue(12.3);
  Child<QDialogButtonBox>(dialog, "Buttons")->button(QDialogButtonBox::Ok)->click();
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
  EXPECT_EQ(doc_.print.LeftSize, 123);
  EXPECT_EQ(doc_.print.TitleLines, (std::vector<std::string>{"Resultatliste Vinter Runde 3"}));
}

TEST_F(PrintDialogTest, PreviewShowsTheFirstPage) {
  PrintSettingsDialog dialog(doc_.table, doc_.look, doc_.print, PrintDialogOptions{}, kNow, Locale::WorkedExample());
  const QImage first = dialog.PreviewImage();
  ASSERT_FALSE(first.isNull());
  EXPECT_LT(first.width(), first.height());  // A4 upright
  // Text and the class headings' colour: a good part of the page is not white.
  EXPECT_GT(NonWhitePixels(first), first.width() * first.height() / 50);
  ASSERT_NE(Child<QLabel>(dialog, "Preview"), nullptr);
  EXPECT_FALSE(Child<QLabel>(dialog, "Preview")->pixmap().isNull());

  // A wider left margin moves the picture.
  Child<QDoubleSpinBox>(dialog, "LeftMargin")->setValue(80.0);
  Child<QCheckBox>(dialog, "CenterOnPage")->setChecked(false);
  EXPECT_NE(dialog.PreviewImage(), first);

  PrintDialogOptions no_preview;
  no_preview.preview = false;
  PrintSettings other = doc_.print;
  PrintSettingsDialog plain(doc_.table, doc_.look, other, no_preview, kNow, Locale::WorkedExample());
  EXPECT_TRUE(plain.PreviewImage().isNull());
}

TEST_F(PrintDialogTest, SaveAndLoadSettingsThroughAnIniFile) {
  TempFolder folder;
  const std::string opened = Describe(doc_.print);
  // A file of the user's with another section: that section stays.
  ASSERT_TRUE(ReplaceFileContents(folder.File("mine.ini"), "[OTHER]\r\nkey=1\r\n"));
  PrintSettingsDialog dialog(doc_.table, doc_.look, doc_.print, PrintDialogOptions{}, kNow, Locale::WorkedExample());
  std::vector<QString> messages;
  dialog.SetMessageSink([&](const QString& text) { messages.push_back(text); });
  std::string chosen = folder.File("mine");  // ".ini" is added with the first filter
  dialog.SetFileChooser([&](bool) { return PrintSettingsDialog::ChosenFile{chosen, 1}; });

  Child<QDoubleSpinBox>(dialog, "BottomMargin")->setValue(17.0);
  Child<QComboBox>(dialog, "TimePosition")->setCurrentIndex(1);
  const std::string saved = Describe(doc_.print);
  Child<QPushButton>(dialog, "SaveSettings")->click();
  std::string text;
  ASSERT_TRUE(ReadFileBytes(folder.File("mine.ini"), text));
  EXPECT_EQ(text.rfind("[OTHER]\r\nkey=1\r\n", 0), 0u);
  EXPECT_NE(text.find("[PRINTSETTINGS]"), std::string::npos);

  // Changed again, then loaded: the saved settings, and the controls show them.
  Child<QDoubleSpinBox>(dialog, "BottomMargin")->setValue(40.0);
  Child<QComboBox>(dialog, "TimePosition")->setCurrentIndex(0);
  chosen = folder.File("mine.ini");
  Child<QPushButton>(dialog, "LoadSettings")->click();
  EXPECT_EQ(Describe(doc_.print), saved);
  EXPECT_EQ(Child<QDoubleSpinBox>(dialog, "BottomMargin")->value(), 17.0);
  EXPECT_EQ(Child<QComboBox>(dialog, "TimePosition")->currentIndex(), 1);
  EXPECT_TRUE(messages.empty());

  // A file without the section, or none at all: a message, the settings as they were.
  ASSERT_TRUE(ReplaceFileContents(folder.File("other.ini"), "[OTHER]\r\nkey=1\r\n"));
  for (const char* name : {"other.ini", "missing.ini"}) {
    chosen = folder.File(name);
    Child<QPushButton>(dialog, "LoadSettings")->click();
    EXPECT_EQ(Describe(doc_.print), saved) << name;
  }
  EXPECT_EQ(messages.size(), 2u);

  // A folder that does not exist: a message, no file.
  chosen = folder.File("no/such/folder/x.ini");
  Child<QPushButton>(dialog, "SaveSettings")->click();
  ASSERT_EQ(messages.size(), 3u);
  EXPECT_TRUE(messages.back().startsWith(QStringLiteral("Cannot Create file ")));

  // Cancel after a load puts back what the dialog opened with.
  dialog.reject();
  EXPECT_EQ(Describe(doc_.print), opened);
}

TEST(HtmlSettingsDialog, OkStoresCancelDropsPreviewStoresAndShows) {
  App();
  HTMLSettings settings;
  std::vector<HTMLSettings> previews;
  {
    HtmlSettingsDialog dialog(settings, [&](const HTMLSettings& values) { previews.push_back(values); });
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("HTML Settings"));
    QStringList groups;
    for (QGroupBox* group : dialog.findChildren<QGroupBox*>()) groups << group->title();
    EXPECT_EQ(groups, (QStringList{"General:", "Cells:", "Tags:", "Files:"}));
    EXPECT_EQ(Child<QSpinBox>(dialog, "TableWidth")->value(), 100);
    EXPECT_EQ(Child<QSpinBox>(dialog, "BorderSize")->value(), 1);
    EXPECT_EQ(Child<QSpinBox>(dialog, "BorderSize")->maximum(), 10);
    EXPECT_TRUE(Child<QCheckBox>(dialog, "UseTableColors")->isChecked());
    Child<QSpinBox>(dialog, "BorderSize")->setValue(0);
    Child<QCheckBox>(dialog, "ConvertSpecialChars")->setChecked(true);
    dialog.reject();
  }
  EXPECT_EQ(settings.BorderSize, 1);
  EXPECT_FALSE(settings.ConvertSpecialChars);

  {
    HtmlSettingsDialog dialog(settings, [&](const HTMLSettings& values) { previews.push_back(values); });
    dialog.SetFileChooser([](const QString& title) -> std::optional<std::string> {
      if (title == QStringLiteral("Header")) return std::string("/tmp/h\xC3\xA5.htm");
      return std::nullopt;
    });
    Child<QSpinBox>(dialog, "CellPadding")->setValue(4);
    Child<QLineEdit>(dialog, "PrefixTags")->setText(QStringLiteral("<h1>V\u00E5r</h1>"));
    Child<QPushButton>(dialog, "ChooseHeader")->click();
    Child<QPushButton>(dialog, "ChooseFooter")->click();  // cancelled: stays empty
    Child<QPushButton>(dialog, "Preview")->click();
    ASSERT_EQ(previews.size(), 1u);
    EXPECT_EQ(previews[0].CellPadding, 4);
    EXPECT_EQ(settings.CellPadding, 4);  // the preview stores the values
    EXPECT_EQ(settings.PrefixTag, "<h1>V\xE5r</h1>");
    EXPECT_EQ(settings.HeaderFile, "/tmp/h\xC3\xA5.htm");
    EXPECT_EQ(settings.FooterFile, "");
    Child<QCheckBox>(dialog, "AutoShowOutput")->setChecked(true);
    Child<QDialogButtonBox>(dialog, "Buttons")->button(QDialogButtonBox::Ok)->click();
  }
  EXPECT_TRUE(settings.AutoPreview);
}

TEST(QtPaintCanvas, MeasuresInTenthsOfAMillimetre) {
  App();
  QImage image(600, 600, QImage::Format_RGB32);
  image.setDotsPerMeterX(11811);  // 300 dpi
  image.setDotsPerMeterY(11811);
  QPainter painter(&image);
  QtPaintCanvas canvas(painter, 2100, 2970);
  const FontSpec small{"MS Sans Serif", 8};
  const FontSpec large{"MS Sans Serif", 16};
  // An 8 point line is about 3 to 4 mm high whatever face stands in.
  EXPECT_GE(canvas.TextHeight(small), 28);
  EXPECT_LE(canvas.TextHeight(small), 45);
  EXPECT_GT(canvas.TextHeight(large), canvas.TextHeight(small) * 3 / 2);
  EXPECT_GT(canvas.TextWidth(small, "Resultatliste"), canvas.TextWidth(small, "Plass"));
  EXPECT_GT(canvas.TextWidth(large, "Plass"), canvas.TextWidth(small, "Plass"));
  EXPECT_EQ(canvas.TextWidth(small, ""), 0);
}

TEST(QtPrintHost, ListPrintedIntoAPdfFile) {
  App();
  TempFolder folder;
  FixedClock clock(kNow);
  QtPrintHost host(nullptr, clock, Locale::WorkedExample());
  host.SetPdfPath(folder.File("results.pdf"));
  int dialogs = 0;
  host.SetDialogRunner([&](PrintSettingsDialog& dialog) {
    ++dialogs;
    EXPECT_FALSE(dialog.findChild<QGroupBox*>(QStringLiteral("BordersGroup"))->isEnabled());
    return true;
  });
  ListCommandContext context;
  context.race = "V\xE5rl\xF8pet";
  context.sub = "Runde 3";
  context.folder = folder.Path().string() + "/";
  context.printer = &host;
  context.clock = &clock;
  const ListCommandResult result = RunResultListCommand(Sheet(90), context);
  EXPECT_EQ(dialogs, 1);
  EXPECT_TRUE(result.printed);
  std::string pdf;
  ASSERT_TRUE(ReadFileBytes(folder.File("results.pdf"), pdf));
  EXPECT_EQ(pdf.rfind("%PDF", 0), 0u);
  EXPECT_TRUE(fs::exists(folder.File("Results.htm")));

  if (::access("/usr/bin/pdftotext", X_OK) != 0) GTEST_SKIP() << "pdftotext is not installed";
  std::string text;
  if (FILE* pipe = ::popen(("/usr/bin/pdftotext -layout '" + folder.File("results.pdf") + "' -").c_str(), "r")) {
    char buffer[4096];
    size_t count = 0;
    while ((count = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) text.append(buffer, count);
    ::pclose(pipe);
  }
  EXPECT_NE(text.find("Resultatliste V\xC3\xA5rl\xC3\xB8pet Runde 3"), std::string::npos) << text.substr(0, 300);
  EXPECT_NE(text.find("Runner0 S\xC3\xB8rby"), std::string::npos);
  EXPECT_NE(text.find("Runner89 S\xC3\xB8rby"), std::string::npos);
  EXPECT_NE(text.find("Vexa timing system LN40"), std::string::npos);
}

TEST(QtPrintHost, ThePrintDialogsPdfFileKeepsEveryDotOfTheName) {
  App();
  const struct {
    std::string job;
    QString file;
  } cases[] = {
      {"Startliste V\xE5rl\xF8pet 2026 10.10.04", QString::fromUtf8("Startliste Vårløpet 2026 10.10.04.pdf")},
      {"Resultatliste Stafett 1/2", QStringLiteral("Resultatliste Stafett 1-2.pdf")},
      {"Resultatliste", QStringLiteral("Resultatliste.pdf")},
  };
  for (const auto& c : cases) EXPECT_EQ(PdfFileNameFor(c.job), c.file);

  FixedClock clock(kNow);
  QtPrintHost host(nullptr, clock, Locale::WorkedExample());
  host.SetPrinterCheck([] { return true; });
  QString named;
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    auto* dialog = qobject_cast<QPrintDialog*>(QApplication::activeModalWidget());
    if (dialog == nullptr) return;
    // On X11 the dialog's file is the document's name, its last ".xxx" replaced by ".pdf".
    const QRegularExpressionMatch last_suffix =
        QRegularExpression(QStringLiteral("(.*)\\.\\S+")).match(dialog->printer()->docName());
    named = last_suffix.hasMatch() ? last_suffix.captured(1) + QStringLiteral(".pdf") : QString();
    dialog->reject();
  });
  poll.start(10);
  EXPECT_EQ(host.BeginPrintJob(cases[0].job, PageOrientation::Portrait), nullptr);
  poll.stop();
  EXPECT_EQ(named, cases[0].file);
}

TEST(QtPrintHost, WithoutAPrinterTheDialogSaysSoAndOffersThePdfFileAtOnce) {
  App();
  TempFolder folder;
  FixedClock clock(kNow);
  QtPrintHost host(nullptr, clock, Locale::WorkedExample());
  host.SetPrinterCheck([] { return false; });
  const std::string job = "Startliste V\xE5rl\xF8pet 2026 10.10.04";
  // Answers the dialog: what it offered, and the file typed over it (empty: Cancel).
  const auto print = [&](const QString& typed) {
    QString said, offered;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
      auto* dialog = qobject_cast<NoPrinterDialog*>(QApplication::activeModalWidget());
      if (dialog == nullptr) return;
      said = dialog->findChild<QLabel*>(QStringLiteral("NoPrinterText"))->text();
      auto* file = dialog->findChild<QLineEdit*>(QStringLiteral("PdfFile"));
      offered = file->text();
      auto* buttons = dialog->findChild<QDialogButtonBox*>(QStringLiteral("Buttons"));
      if (typed.isEmpty()) {
        buttons->button(QDialogButtonBox::Cancel)->click();
      } else {
        file->setText(typed);
        EXPECT_TRUE(buttons->button(QDialogButtonBox::Save)->isDefault());
        buttons->button(QDialogButtonBox::Save)->click();
      }
    });
    poll.start(10);
    std::unique_ptr<PrintCanvas> canvas = host.BeginPrintJob(job, PageOrientation::Portrait);
    poll.stop();
    EXPECT_TRUE(said.startsWith(QStringLiteral("No printer is set up on this computer."))) << said.toStdString();
    if (canvas) canvas->DrawText(100, 100, "Startliste", FontSpec{"MS Sans Serif", 10}, CellColor{}, {0, 0, 2000, 2000});
    return std::make_pair(offered, canvas != nullptr);
  };

  const auto [offered, printed] = print(QString());
  EXPECT_EQ(offered, QDir::homePath() + QString::fromUtf8("/Startliste Vårløpet 2026 10.10.04.pdf"));
  EXPECT_FALSE(printed);

  // A name without ".pdf" gets it; the next list is offered in the same folder.
  const QString chosen = QString::fromStdString(folder.File("liste"));
  EXPECT_TRUE(print(chosen).second);
  std::string pdf;
  ASSERT_TRUE(ReadFileBytes(folder.File("liste.pdf"), pdf));
  EXPECT_EQ(pdf.rfind("%PDF", 0), 0u);
  EXPECT_EQ(print(QString()).first,
            QString::fromStdString(folder.Path().string()) + QString::fromUtf8("/Startliste Vårløpet 2026 10.10.04.pdf"));
}

// The toolbar's list commands in the real window: the modal "Print Settings" dialog comes
// up, "Cancel" prints nothing, and the page is written into the program's folder.
TEST(MainWindowReports, ListButtonsShowTheDialogAndWriteThePages) {
  App();
  TempFolder folder;
  WindowSetup setup;
  setup.data_folder = folder.Path().string() + "/";
  setup.settings_path = folder.File("ln40util.conf");
  setup.locale = Locale::WorkedExample();
  setup.clock = std::make_unique<FixedClock>(kNow);
  setup.devices = std::make_unique<SysfsSerialDevices>(folder.File("no-sysfs"), "");
  MainWindow window(std::move(setup));
  window.Controller().Sheet() = Sheet(5);

  for (const char* button : {"SpeedButton14", "SpeedButton19"}) {
    SCOPED_TRACE(button);
    QString title;
    bool borders_enabled = true;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
      auto* dialog = qobject_cast<PrintSettingsDialog*>(QApplication::activeModalWidget());
      if (dialog == nullptr) return;
      title = dialog->windowTitle();
      borders_enabled = dialog->findChild<QGroupBox*>(QStringLiteral("BordersGroup"))->isEnabled();
      dialog->findChild<QDialogButtonBox*>(QStringLiteral("Buttons"))->button(QDialogButtonBox::Cancel)->click();
    });
    poll.start(10);
    window.findChild<QToolButton*>(QString::fromLatin1(button))->click();
    poll.stop();
    EXPECT_EQ(title, QStringLiteral("Print Settings"));
    EXPECT_FALSE(borders_enabled);
  }
  std::string page;
  ASSERT_TRUE(ReadFileBytes(folder.File("Results.htm"), page));
  EXPECT_NE(page.find("Runner4 S\xF8rby"), std::string::npos);
  ASSERT_TRUE(ReadFileBytes(folder.File("Start.htm"), page));
  EXPECT_NE(page.find("<h1><center>Startliste "), std::string::npos);
}

}  // namespace
}  // namespace ln40::gui
