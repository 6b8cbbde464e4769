#include "main_window.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDesktopServices>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QShortcut>
#include <QStyleOptionComboBox>
#include <QTabBar>
#include <QTabWidget>
#include <QTextEdit>
#include <QTimer>
#include <QToolButton>
#include <QToolTip>
#include <QUrl>
#include <QVBoxLayout>
#include <exception>

#include "about_box.h"
#include "app/settings_store.h"
#include "com_setup_dialog.h"
#include "find_dialog.h"
#include "grid_model.h"
#include "grid_view.h"
#include "help_text.h"
#include "html_settings_dialog.h"
#include "icons.h"
#include "qt_print_host.h"
#include "qt_text.h"
#include "system_clipboard.h"
#include "text/date_time.h"
#include "text/error.h"

namespace ln40::gui {

namespace {

constexpr int kToolbarHeight = 41;
constexpr int kToolButtonSize = 33;
constexpr int kStatusAreaHeight = 31;
constexpr int kOptionsPanelWidth = 135;
constexpr int kSetupButtonWidth = 193;
constexpr int kSetupButtonHeight = 48;
constexpr int kStatusNoteSeconds = 20;
// The longest entry the port list shows in full when closed.
constexpr const char* kWidestPortEntry = "/dev/ttyUSB0 Vexa USB LN40 ";

// The width a combo box needs to show `text` whole, with its frame and arrow in the style.
int ComboBoxWidthFor(const QComboBox& box, const QString& text) {
  QStyleOptionComboBox option;
  option.initFrom(&box);
  const QSize content(box.fontMetrics().horizontalAdvance(text), box.fontMetrics().height());
  return box.style()->sizeFromContents(QStyle::CT_ComboBox, &option, content, &box).width();
}

// Flat tabs: the page control's tabs look like flat buttons, the current one pressed.
const char* const kFlatTabs =
    "QTabWidget::pane { border: 0; }"
    "QTabBar::tab { border: 1px solid transparent; border-radius: 3px; padding: 3px 10px; margin: 2px 1px; }"
    "QTabBar::tab:hover { border-color: palette(mid); }"
    "QTabBar::tab:selected { border-color: palette(dark); background: palette(midlight); }";

// The reader nulltime's mask: an optional first hour digit, five required digits and the
// two separators fixed in place, blanks shown as "_".
QString NulltimeMask(char time_separator) {
  QString separator = ToQt(std::string(1, time_separator));
  static const QString kMaskSpecials = QStringLiteral("AaNnXx90Dd#HhBb><!;[]{}\\");
  if (kMaskSpecials.contains(separator)) separator.prepend(QLatin1Char('\\'));
  return QStringLiteral("09") + separator + QStringLiteral("99") + separator + QStringLiteral("99;_");
}

// The panels at the edges hold long captions in little room: a point smaller.
QFont SmallFont(QFont font) {
  if (font.pointSizeF() > 0) font.setPointSizeF(std::max(7.0, font.pointSizeF() - 1.0));
  return font;
}

QLabel* BoldLabel(const QString& text, QWidget* parent) {
  auto* label = new QLabel(text, parent);
  QFont font = label->font();
  font.setBold(true);
  label->setFont(font);
  return label;
}

}  // namespace

MainWindow::MainWindow(WindowSetup setup, QWidget* parent)
    : QWidget(parent),
      events_(this),
      timers_(this, [this](const std::exception& error) { ShowError(error.what()); }),
      setup_(std::move(setup)),
      settings_(std::make_unique<TSettingsFile>(setup_.settings_path)) {
  controller_ = std::make_unique<MainWindowController>(*this, events_, timers_, *setup_.clock, setup_.locale,
                                                       setup_.data_folder, *settings_, *setup_.devices);
  setObjectName(QStringLiteral("Form1"));
  setWindowTitle(QString::fromLatin1(kWindowCaption));
  setWindowIcon(AppIcon());
  resize(758, 476);
  move(227, 178);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(BuildToolbar());
  auto* middle = new QHBoxLayout;
  middle->setContentsMargins(0, 0, 0, 0);
  middle->setSpacing(0);
  middle->addWidget(BuildPages(), 1);
  middle->addWidget(BuildOptionsPanel());
  layout->addLayout(middle, 1);
  // A warning that stays, the whole width above the status area, until its cause is gone
  // (the journal cannot be written).
  warning_ = new QLabel(this);
  warning_->setObjectName(QStringLiteral("Warning"));
  warning_->setStyleSheet(QStringLiteral("color: white; background: #b00000; font-weight: bold; padding: 3px 6px;"));
  warning_->setWordWrap(true);
  warning_->hide();
  layout->addWidget(warning_);
  layout->addWidget(BuildStatusArea());

  about_ = new AboutBox([this](const std::string& url) { Run([this, url] { OpenUrl(url); }); }, this);
  find_dialog_ = new FindTextDialog(find_state_, [this](const std::function<void()>& command) { Run(command); }, this);
}

MainWindow::~MainWindow() {
  // The views outlive the key handlers and the tables (they are children, destroyed after
  // the members): an open cell editor would write into a table that is gone.
  for (GridView* view : {sheet_view_, read_times_view_}) {
    view->DiscardEditing();
    view->SetKeyHandler(nullptr);
  }
  // The controller's destruction closes the link and switches Timer1 off through the view.
  controller_.reset();
}

void MainWindow::SearchForData() {
  find_dialog_->OpenOn(CurrentPage() == page::kExcelTiming ? sheet_view_ : read_times_view_);
}

void MainWindow::BindKeys() {
  clipboard_ = std::make_unique<SystemTextClipboard>();
  const CommandRunner run = [this](const std::function<void()>& command) { Run(command); };

  sheet_keys_ = std::make_unique<GridKeyHandler>(controller_->Sheet(), RunnerSheetNavigation(), *clipboard_);
  // A row inserted with INS gets the previous class.
  sheet_keys_->SetInsertedRowNotice([this](int row) { controller_->SheetRowInsertedByKey(row); });
  PasteOptions paste;
  paste.floatDecimals = 2;  // the sheet's float format, "%.2f"
  paste.defaultYear = DecodeDate(setup_.clock->Now()).year;
  sheet_keys_->SetPasteOptions(paste);
  sheet_view_->SetKeyHandler(sheet_keys_.get());
  sheet_view_->SetCommandRunner(run);
  sheet_view_->setTabKeyNavigation(true);
  // A runner matched to a message is shown where the sheet found it.
  sheet_view_->SetFollowsCurrentCell(true);

  read_times_keys_ = std::make_unique<GridKeyHandler>(controller_->ReadTimes(), ReadTimesNavigation(), *clipboard_);
  read_times_view_->SetKeyHandler(read_times_keys_.get());
  read_times_view_->SetCommandRunner(run);
  read_times_view_->setTabKeyNavigation(false);
  read_times_view_->SetFollowsNewestRow(true);
}

void MainWindow::BindZoom() {
  const auto bind = [this](const QKeySequence& keys, const std::function<void()>& zoom) {
    auto* shortcut = new QShortcut(keys, this);
    connect(shortcut, &QShortcut::activated, this, zoom);
  };
  const auto step = [this](int steps) { return [this, steps] { SetGridZoom(ZoomAfterSteps(grid_zoom_, steps)); }; };
  bind(QKeySequence::ZoomIn, step(1));
  bind(QKeySequence(Qt::CTRL | Qt::Key_Equal), step(1));  // the plus key without Shift
  bind(QKeySequence::ZoomOut, step(-1));
  bind(QKeySequence(Qt::CTRL | Qt::Key_0), [this] { SetGridZoom(100); });
  for (GridView* view : {read_times_view_, sheet_view_}) {
    connect(view, &GridView::zoomStepRequested, this,
            [this](int steps) { SetGridZoom(ZoomAfterSteps(grid_zoom_, steps)); });
  }
  grid_zoom_ = ReadGridZoom(*settings_);
  for (GridView* view : {read_times_view_, sheet_view_}) view->SetZoom(grid_zoom_);
}

void MainWindow::SetGridZoom(int percent) {
  if (percent == grid_zoom_) return;
  grid_zoom_ = percent;
  for (GridView* view : {read_times_view_, sheet_view_}) view->SetZoom(grid_zoom_);
  try {
    WriteGridZoom(*settings_, grid_zoom_);
  } catch (const std::exception& error) {
    // The zoom still applies; only keeping it for the next start failed.
    ShowStatus(error.what());
  }
}

void MainWindow::Run(const std::function<void()>& command) {
  try {
    command();
  } catch (const std::exception& error) {
    ShowError(error.what());
  }
}

QToolButton* MainWindow::AddToolButton(QBoxLayout* layout, const char* name, const char* hint, const char* icon,
                                       std::function<void()> command) {
  auto* button = new QToolButton(this);
  button->setObjectName(QString::fromLatin1(name));
  button->setToolTip(QString::fromLatin1(hint));
  button->setAutoRaise(true);
  button->setFixedSize(kToolButtonSize, kToolButtonSize);
  button->setIconSize(QSize(24, 24));
  button->setFocusPolicy(Qt::NoFocus);
  if (icon) button->setIcon(ToolIcon(QString::fromLatin1(icon)));
  // Commands whose features come later are present with their hints and do nothing yet.
  if (command) connect(button, &QToolButton::clicked, this, [this, command] { Run(command); });
  layout->addWidget(button);
  return button;
}

QWidget* MainWindow::BuildToolbar() {
  auto* bar = new QFrame(this);
  bar->setObjectName(QStringLiteral("Panel1"));
  bar->setFixedHeight(kToolbarHeight);
  bar->setFrameStyle(QFrame::StyledPanel | QFrame::Raised);
  auto* row = new QHBoxLayout(bar);
  row->setContentsMargins(3, 3, 4, 3);
  row->setSpacing(0);

  const auto later = std::function<void()>();
  AddToolButton(row, "SpeedButton1", "Close", "close", [this] { close(); });
  AddToolButton(row, "SpeedButton2", "Save as excel file", "save-excel",
                [this] { controller_->SaveAsExcelFileClick(); });
  AddToolButton(row, "SpeedButton3", "Print ", "print", [this] { controller_->PrintClick(); });
  AddToolButton(row, "SpeedButton4", "Save as html file", "html", [this] { controller_->SaveAsHtmlFileClick(); });
  QToolButton* xml = AddToolButton(row, "SpeedButton5", "Save as XML file", nullptr,
                                   [this] { controller_->SaveAsXmlFileClick(); });
  xml->setText(QStringLiteral("XML"));
  QFont bold = xml->font();
  bold.setBold(true);
  xml->setFont(bold);
  AddToolButton(row, "SpeedButton8", "Serial port properties", "serial",
                [this] { controller_->SerialPortPropertiesClick(); });
  AddToolButton(row, "SpeedButton9", "Get data again", "get-again", [this] { controller_->GetDataAgainClick(); });
  QToolButton* start_stop = AddToolButton(row, "SpeedButton10", "Start/stop comunication", "start-stop",
                                          [this] { controller_->StartStopClick(); });
  QToolButton* search = AddToolButton(row, "SpeedButton11", "Search for readers (LN20 / LN40)", "search-readers",
                                      [this] { controller_->SearchReadersClick(); });
  // Start/stop and search latch: pressing one leaves it down and releases the other.
  auto* latch = new QButtonGroup(bar);
  latch->setExclusive(true);
  for (QToolButton* button : {start_stop, search}) {
    button->setCheckable(true);
    latch->addButton(button);
  }
  AddToolButton(row, "SpeedButton12", "Mail log og excel file", "mail", [this] { controller_->MailClick(); });
  AddToolButton(row, "SpeedButton19", "Print startlist", "start-list", [this] { controller_->PrintStartListClick(); });
  AddToolButton(row, "SpeedButton14", "Print result list", "result-list",
                [this] { controller_->PrintResultListClick(); });
  AddToolButton(row, "SpeedButton17", "Open excel file", "open-excel",
                [this] { controller_->OpenExcelFileClick(); });
  AddToolButton(row, "SpeedButton6", "Get data from klubben online", "klubben",
                [this] { controller_->GetDataFromKlubbenOnlineClick(); });
  AddToolButton(row, "SpeedButton7", "Search for data", "search-data", [this] { SearchForData(); });
  AddToolButton(row, "SpeedButton13", "Assign startnumbers and starttime", "assign",
                [this] { controller_->AssignStartNumbersClick(); });

  port_list_ = new QComboBox(bar);
  port_list_->setObjectName(QStringLiteral("ComboBox1"));
  port_list_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
  port_list_->setMinimumContentsLength(6);
  port_list_->setMinimumWidth(90);
  // The field takes what the toolbar leaves it, so the window keeps its width; the drop-down
  // list is wide enough for a whole entry.
  port_list_->view()->setMinimumWidth(ComboBoxWidthFor(*port_list_, QString::fromLatin1(kWidestPortEntry)));
  port_list_->setFocusPolicy(Qt::ClickFocus);
  connect(port_list_, &QComboBox::activated, this,
          [this](int index) { Run([this, index] { controller_->PortListChosen(index); }); });
  row->addSpacing(4);
  row->addWidget(port_list_, 1);
  row->addSpacing(4);

  auto* com_ports = new QPushButton(QStringLiteral("COM ports"), bar);
  com_ports->setObjectName(QStringLiteral("ComPorts"));
  com_ports->setFixedSize(75, 25);
  connect(com_ports, &QPushButton::clicked, this, [this] { Run([this] { controller_->ComPortsClick(); }); });
  row->addWidget(com_ports, 0, Qt::AlignTop | Qt::AlignRight);
  return bar;
}

QWidget* MainWindow::BuildPages() {
  pages_ = new QTabWidget(this);
  pages_->setObjectName(QStringLiteral("PageControl1"));
  pages_->setDocumentMode(true);
  pages_->setStyleSheet(QString::fromLatin1(kFlatTabs));
  pages_->tabBar()->setDrawBase(false);
  pages_->tabBar()->setFocusPolicy(Qt::NoFocus);

  const QColor tooltip_band = QToolTip::palette().color(QPalette::ToolTipBase);
  const QColor window_band = palette().color(QPalette::Base);

  read_times_model_ = new GridTableModel(controller_->ReadTimes(), this);
  read_times_model_->SetBands(tooltip_band, window_band);
  read_times_view_ = new GridView(read_times_model_, this);
  read_times_view_->setObjectName(QStringLiteral("StringGrid1"));
  // A right-click on a heading groups by that column (on "#": ungroups).
  read_times_view_->horizontalHeader()->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(read_times_view_->horizontalHeader(), &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
    const int col = read_times_view_->horizontalHeader()->logicalIndexAt(at);
    if (col >= 0) Run([this, col] { controller_->ReadTimesRightClick(0, col); });
  });
  read_times_view_->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(read_times_view_, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
    const QModelIndex index = read_times_view_->indexAt(at);
    if (!index.isValid()) return;
    Run([this, index] {
      controller_->ReadTimesRightClick(GridTableModel::TableRow(index.row()), index.column());
    });
  });

  sheet_model_ = new GridTableModel(controller_->Sheet(), this);
  sheet_model_->SetBands(tooltip_band, window_band);
  sheet_view_ = new GridView(sheet_model_, this);
  sheet_view_->setObjectName(QStringLiteral("StringGrid2"));
  sheet_view_->setToolTip(
      QStringLiteral("Press INS to manually enter data or select Open excel or import from klubben online to fill "
                     "this grid with data"));
  // Each end of an edit runs the net-time rule with the edited row as the current row.
  connect(sheet_view_->Delegate(), &GridDelegate::editingEnded, this, [this](int row, int col) {
    Run([this, row, col] {
      TGridTable& sheet = controller_->Sheet();
      sheet.SetCol(col);
      sheet.SetRow(GridTableModel::TableRow(row));
      controller_->SheetEditingDone(GridTableModel::TableRow(row));
    });
  });
  BuildSheetMenu();
  BindKeys();
  BindZoom();

  help_ = new QTextEdit(this);
  help_->setObjectName(QStringLiteral("RichEdit1"));
  help_->setAcceptRichText(false);
  help_->setPlainText(HelpLines().join(QLatin1Char('\n')));

  pages_->addTab(read_times_view_, QStringLiteral("Read times"));
  pages_->addTab(sheet_view_, QStringLiteral("Excel timing"));
  pages_->addTab(help_, QStringLiteral("Help"));
  pages_->addTab(BuildSetupPage(), QStringLiteral("Setup"));
  pages_->setCurrentIndex(page::kSetup);

  // Any change of page by the user (a click on a tab, the keyboard) shows the options panel.
  connect(pages_, &QTabWidget::currentChanged, this, [this](int index) {
    if (selecting_page_ || index < 0) return;
    Run([this, index] { controller_->PageTabClicked(index); });
  });
  return pages_;
}

void MainWindow::BuildSheetMenu() {
  auto* menu = new QMenu(sheet_view_);
  menu->setObjectName(QStringLiteral("PopupMenu1"));
  // The standard edit commands act on the focused edit field, the sheet's cell editor;
  // with no cell being edited they act on the sheet as their keys do.
  const auto grid_key = [this](GridKey key) {
    return [this, key] {
      GridKeyEvent event;
      event.key = key;
      event.ctrl = true;
      sheet_view_->RunKey(event);
    };
  };
  struct EditCommand {
    const char* name;
    const char* text;
    QKeySequence::StandardKey key;
    const char* hint;
    std::function<void(QLineEdit&)> on_editor;
    std::function<void()> on_sheet;
  };
  const EditCommand commands[] = {
      {"Copy1", "&Copy", QKeySequence::Copy, "Copy|Copies the selection and puts it on the Clipboard",
       [](QLineEdit& editor) { editor.copy(); }, grid_key(GridKey::C)},
      {"Cut1", "Cu&t", QKeySequence::Cut, "Cut|Cuts the selection and puts it on the Clipboard",
       [](QLineEdit& editor) { editor.cut(); }, grid_key(GridKey::X)},
      {"Paste1", "&Paste", QKeySequence::Paste, "Paste|Inserts Clipboard contents",
       [](QLineEdit& editor) { editor.paste(); }, grid_key(GridKey::V)},
      {"SelectAll1", "Select &All", QKeySequence::SelectAll, "Select All|Selects the entire document",
       [](QLineEdit& editor) { editor.selectAll(); }, [this] { sheet_view_->selectAll(); }},
      {"Undo1", "&Undo", QKeySequence::Undo, "Undo|Reverts the last action", [](QLineEdit& editor) { editor.undo(); },
       [] {}},
  };
  for (const EditCommand& command : commands) {
    QAction* action = menu->addAction(QString::fromLatin1(command.text));
    action->setObjectName(QString::fromLatin1(command.name));
    action->setShortcut(command.key);
    const QString hint = QString::fromLatin1(command.hint);
    action->setToolTip(hint.section(QLatin1Char('|'), 0, 0));
    action->setStatusTip(hint.section(QLatin1Char('|'), 1));
    connect(action, &QAction::triggered, this,
            [this, on_editor = command.on_editor, on_sheet = command.on_sheet] {
              auto* editor = qobject_cast<QLineEdit*>(QApplication::focusWidget());
              if (editor && sheet_view_->isAncestorOf(editor)) {
                on_editor(*editor);
              } else {
                Run(on_sheet);
              }
            });
  }
  // Kept for the column commands; never shown.
  for (const char* text : {"Hide column", "Unhide all columns"}) {
    QAction* action = menu->addAction(QString::fromLatin1(text));
    action->setVisible(false);
  }
  QAction* about = menu->addAction(QStringLiteral("About"));
  about->setObjectName(QStringLiteral("About1"));
  connect(about, &QAction::triggered, this, [this] { Run([this] { controller_->AboutClick(); }); });

  sheet_view_->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(sheet_view_, &QWidget::customContextMenuRequested, this,
          [this, menu](const QPoint& at) { menu->popup(sheet_view_->viewport()->mapToGlobal(at)); });
}

QWidget* MainWindow::BuildSetupPage() {
  auto* page = new QWidget(this);
  page->setObjectName(QStringLiteral("TabSheet4"));
  auto* column = new QVBoxLayout(page);
  column->setContentsMargins(12, 10, 12, 10);
  column->setSpacing(8);

  const auto band = [&](const char* name, const char* caption, const char* icon, QWidget* description,
                        std::function<void()> command) {
    auto* row = new QHBoxLayout;
    row->setSpacing(12);
    auto* button = new QPushButton(ToolIcon(QString::fromLatin1(icon)), QString::fromLatin1(caption), page);
    button->setObjectName(QString::fromLatin1(name));
    button->setFixedSize(kSetupButtonWidth, kSetupButtonHeight);
    button->setIconSize(QSize(32, 32));
    connect(button, &QPushButton::clicked, this, [this, command] { Run(command); });
    row->addWidget(button);
    row->addWidget(description, 1);
    column->addLayout(row);
  };
  const auto text = [page](const QString& words) {
    auto* label = new QLabel(words, page);
    label->setWordWrap(false);
    // A narrow window cuts the description off rather than growing for it.
    label->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    return label;
  };

  band("SetupReadTimes", "Read times", "read-times",
       text(QStringLiteral("Read times from a LN20/ LN40 into a grid. Data can be saved to \n"
                           "different logfiles or an  Excel file. ")),
       [this] { controller_->SetupReadTimesClick(); });
  band("SetupExcelTiming", "Excel timing", "excel-timing",
       text(QStringLiteral("Read data from a LN20/ LN40 into a preloaded excel sheet.\n"
                           "See help for description of this excel sheet. A result list can be printed")),
       [this] { controller_->SetupExcelTimingClick(); });
  band("SetupShowHelp", "Show help", "help", text(QStringLiteral("Show help file")),
       [this] { controller_->ShowHelpClick(); });
  band("SetupExit", "Exit", "exit", text(QStringLiteral("Exit this program")), [this] { close(); });

  auto* link = new QLabel(QStringLiteral("<a href=\"online\" style=\"color:#0000ff; text-decoration:underline;\">"
                                         "Vexa Online</a>"),
                          page);
  link->setObjectName(QStringLiteral("OnlineLink"));
  link->setToolTip(QStringLiteral("Open %1 in your web browser").arg(QString::fromLatin1(kMakerAddress)));
  link->setTextInteractionFlags(Qt::LinksAccessibleByMouse);
  connect(link, &QLabel::linkActivated, this, [this] { Run([this] { controller_->OnlineClick(); }); });
  band("SetupOnline", "Online", "online", link, [this] { controller_->OnlineClick(); });
  column->addStretch(1);
  return page;
}

QWidget* MainWindow::BuildOptionsPanel() {
  options_panel_ = new QFrame(this);
  options_panel_->setObjectName(QStringLiteral("OptionsPanel"));
  options_panel_->setFixedWidth(kOptionsPanelWidth);
  static_cast<QFrame*>(options_panel_)->setFrameStyle(QFrame::StyledPanel | QFrame::Raised);
  options_panel_->setFont(SmallFont(options_panel_->font()));
  auto* column = new QVBoxLayout(options_panel_);
  column->setContentsMargins(6, 4, 4, 4);
  column->setSpacing(1);

  auto* heading = BoldLabel(QStringLiteral("Alternatives"), options_panel_);
  QFont heading_font = heading->font();
  heading_font.setPointSize(10);
  heading->setFont(heading_font);
  column->addWidget(heading);
  column->addSpacing(2);

  struct Box {
    const char* name;
    const char* caption;
    const char* hint;
    bool checked;
  };
  const StationOptions defaults;
  const Box boxes[] = {
      {"cbtidel", "Keep milliseconds", nullptr, defaults.keepMilliseconds},
      {"cbautosave", "Autosave", nullptr, defaults.autosave},
      {"cbclear", "Clear data ", nullptr, defaults.clearOnOpen},
      {"cbchronex", "Chronex log", "Create log with Chronex format", defaults.chronexLog},
      {"cbbfg", "BFG log", "Create BFG log", defaults.bfgLog},
      {"cbtrim", "Remove leading 0", "Remove leading 0", defaults.removeLeadingZeros},
      {"cbinsert", "Insert unknown #", "Insert unknown startnumbers into the excel grid", defaults.insertUnknownRunners},
  };
  std::map<std::string, QCheckBox*> made;
  for (const Box& box : boxes) {
    auto* check = new QCheckBox(QString::fromLatin1(box.caption), options_panel_);
    check->setObjectName(QString::fromLatin1(box.name));
    check->setChecked(box.checked);
    if (box.hint) check->setToolTip(QString::fromLatin1(box.hint));
    made[box.name] = check;
    column->addWidget(check);
  }
  option_boxes_ = {made["cbtidel"], made["cbautosave"], made["cbclear"], made["cbchronex"],
                   made["cbbfg"],   made["cbtrim"],     made["cbinsert"]};
  // Only a click by the user runs a box's rule; the controller setting a box does not.
  connect(option_boxes_.keepMilliseconds, &QCheckBox::clicked, this,
          [this] { Run([this] { controller_->cbtidelClick(); }); });
  connect(option_boxes_.autosave, &QCheckBox::clicked, this, [this] { Run([this] { controller_->cbautosaveClick(); }); });

  const auto field = [&](const char* name, const char* label, const char* initial) {
    column->addSpacing(3);
    column->addWidget(BoldLabel(QString::fromLatin1(label), options_panel_));
    auto* edit = new QLineEdit(options_panel_);
    edit->setObjectName(QString::fromLatin1(name));
    edit->setText(QString::fromLatin1(initial));
    column->addWidget(edit);
    return edit;
  };
  QLineEdit* nulltime = field("MaskEditEx1", "Reader nulltime", "");
  nulltime->setInputMask(NulltimeMask(setup_.locale.timeSeparator));
  nulltime->setMaxLength(8);
  const QString separator = ToQt(std::string(1, setup_.locale.timeSeparator));
  nulltime->setText(QStringLiteral("00") + separator + QStringLiteral("00") + separator + QStringLiteral("00"));
  nulltime_field_ = nulltime;
  race_name_field_ = field("Edit3", "Race name", defaults.raceName.c_str());
  sub_name_field_ = field("Edit2", "Sub name", defaults.subName.c_str());
  time_status_ = field("Edit1", "Time status", "?");
  time_status_->setReadOnly(true);

  auto* lamps = new QHBoxLayout;
  lamps->setSpacing(2);
  const auto lamp = [&](const char* name, const char* icon) {
    auto* button = new QToolButton(options_panel_);
    button->setObjectName(QString::fromLatin1(name));
    button->setIcon(ToolIcon(QString::fromLatin1(icon)));
    button->setIconSize(QSize(16, 16));
    button->setFixedSize(22, 22);
    button->setAutoRaise(true);
    button->setFocusPolicy(Qt::NoFocus);
    QSizePolicy keep = button->sizePolicy();
    keep.setRetainSizeWhenHidden(true);
    button->setSizePolicy(keep);
    button->hide();
    lamps->addWidget(button);
    return button;
  };
  autosave_indicator_ = lamp("spautosave", "autosave");
  activity_lamp_ = lamp("spcom", "lamp");
  lamps->addStretch(1);
  column->addSpacing(3);
  column->addLayout(lamps);
  column->addStretch(1);

  options_panel_->hide();
  return options_panel_;
}

QWidget* MainWindow::BuildStatusArea() {
  auto* area = new QFrame(this);
  area->setObjectName(QStringLiteral("StatusArea"));
  area->setFixedHeight(kStatusAreaHeight);
  area->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
  area->setFont(SmallFont(area->font()));

  auto* column = new QVBoxLayout(area);
  column->setContentsMargins(6, 0, 6, 0);
  column->setSpacing(0);
  auto* keys = new QLabel(QStringLiteral("Press INS key for adding  a row. DEL for deliting a row"), area);
  keys->setObjectName(QStringLiteral("Label5"));
  column->addWidget(keys);

  auto* row = new QHBoxLayout;
  row->setSpacing(12);
  log_path_label_ = new QLabel(QStringLiteral("All logfiles are stored into"), area);
  log_path_label_->setObjectName(QStringLiteral("Label4"));
  row->addWidget(log_path_label_);
  status_note_ = new QLabel(area);
  status_note_->setObjectName(QStringLiteral("StatusNote"));
  status_note_->setStyleSheet(QStringLiteral("color: #a02020;"));
  status_note_->setMinimumWidth(0);
  status_note_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  row->addWidget(status_note_, 1);
  auto* maker = new QLabel(QStringLiteral("Vexa timing system %1").arg(QString::fromLatin1(kMakerAddress)), area);
  maker->setObjectName(QStringLiteral("Label6"));
  maker->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  row->addWidget(maker);
  column->addLayout(row);

  status_note_timer_ = new QTimer(this);
  status_note_timer_->setSingleShot(true);
  status_note_timer_->setInterval(kStatusNoteSeconds * 1000);
  connect(status_note_timer_, &QTimer::timeout, this, [this] {
    status_note_->clear();
    status_note_->setToolTip(QString());
  });
  return area;
}

void MainWindow::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (started_) return;
  started_ = true;
  // The start-up routine runs once the window is on the screen.
  QTimer::singleShot(0, this, [this] { Run([this] { controller_->StartUpRoutine(); }); });
}

void MainWindow::closeEvent(QCloseEvent* event) {
  // Text being typed into a cell belongs to the table that the close sequence saves.
  sheet_view_->FinishEditing();
  read_times_view_->FinishEditing();
  bool may_close = false;
  Run([&] { may_close = controller_->CloseRequested(); });
  if (may_close) {
    event->accept();
  } else {
    event->ignore();
  }
}

// --- MainWindowView -------------------------------------------------------------------

void MainWindow::SelectPage(int index) {
  const bool was_selecting = selecting_page_;
  selecting_page_ = true;
  pages_->setCurrentIndex(index);
  selecting_page_ = was_selecting;
}

int MainWindow::CurrentPage() const { return pages_->currentIndex(); }

void MainWindow::ShowOptionsPanel() { options_panel_->show(); }

bool MainWindow::OptionsPanelVisible() const { return !options_panel_->isHidden(); }

StationOptions MainWindow::Options() const {
  StationOptions options;
  options.nulltime = FromQt(nulltime_field_->text());
  options.raceName = FromQt(race_name_field_->text());
  options.subName = FromQt(sub_name_field_->text());
  options.keepMilliseconds = option_boxes_.keepMilliseconds->isChecked();
  options.autosave = option_boxes_.autosave->isChecked();
  options.clearOnOpen = option_boxes_.clearOnOpen->isChecked();
  options.chronexLog = option_boxes_.chronexLog->isChecked();
  options.bfgLog = option_boxes_.bfgLog->isChecked();
  options.removeLeadingZeros = option_boxes_.removeLeadingZeros->isChecked();
  options.insertUnknownRunners = option_boxes_.insertUnknownRunners->isChecked();
  return options;
}

void MainWindow::ShowOptions(const StationOptions& options) {
  // Only a changed text is set: setting a field moves its cursor.
  const auto show_text = [](QLineEdit* field, const std::string& text) {
    if (FromQt(field->text()) != text) field->setText(ToQt(text));
  };
  show_text(nulltime_field_, options.nulltime);
  show_text(race_name_field_, options.raceName);
  show_text(sub_name_field_, options.subName);
  option_boxes_.keepMilliseconds->setChecked(options.keepMilliseconds);
  option_boxes_.autosave->setChecked(options.autosave);
  option_boxes_.clearOnOpen->setChecked(options.clearOnOpen);
  option_boxes_.chronexLog->setChecked(options.chronexLog);
  option_boxes_.bfgLog->setChecked(options.bfgLog);
  option_boxes_.removeLeadingZeros->setChecked(options.removeLeadingZeros);
  option_boxes_.insertUnknownRunners->setChecked(options.insertUnknownRunners);
}

void MainWindow::SetLogPathLabel(const std::string& text) { log_path_label_->setText(ToQtMessage(text)); }

void MainWindow::ShowActivityLamp() { activity_lamp_->show(); }

void MainWindow::HideActivityLamp() { activity_lamp_->hide(); }

void MainWindow::SetAutosaveIndicator(bool shown) {
  autosave_indicator_->setVisible(shown);
  // The write that follows keeps the event loop busy; paint the indicator now.
  if (shown && isVisible()) autosave_indicator_->repaint();
}

void MainWindow::ShowStatus(const std::string& text) {
  const QString note = ToQtMessage(text);
  // One line on the status line; the detail after it is in the tool tip.
  status_note_->setText(note.section(QLatin1Char('\n'), 0, 0));
  status_note_->setToolTip(note);
  status_note_timer_->start();
}

void MainWindow::ShowWarning(const std::string& text) {
  warning_->setText(ToQtMessage(text));
  warning_->setToolTip(ToQtMessage(text));
  warning_->setVisible(!text.empty());
}

void MainWindow::ShowError(const std::string& text) {
  const QString message = ToQtMessage(text);
  // A timer that fails the same way every few seconds would stack box upon box.
  if (open_errors_.contains(message)) return;
  open_errors_.insert(message);
  // The first line is the message; a detail after it (the failing system call) is shown on request.
  QMessageBox box(QMessageBox::Critical, QStringLiteral("ln40util"), message.section(QLatin1Char('\n'), 0, 0),
                  QMessageBox::Ok, this);
  box.setObjectName(QStringLiteral("ErrorBox"));
  const QString detail = message.section(QLatin1Char('\n'), 1);
  if (!detail.isEmpty()) box.setDetailedText(detail);
  box.exec();
  open_errors_.remove(message);
}

void MainWindow::ShowMessage(const std::string& text) {
  QMessageBox box(QMessageBox::NoIcon, QStringLiteral("ln40util"), ToQtMessage(text), QMessageBox::Ok, this);
  box.setObjectName(QStringLiteral("MessageBox"));
  box.exec();
}

bool MainWindow::InputQuery(const std::string& caption, const std::string& prompt, std::string& value) {
  bool ok = false;
  const QString answer =
      QInputDialog::getText(this, ToQt(caption), ToQt(prompt), QLineEdit::Normal, ToQt(value), &ok);
  if (ok) value = FromQt(answer);
  return ok;
}

std::optional<std::string> MainWindow::ChooseFileToOpen(const OpenDialogOptions& options) {
  QStringList filters;
  for (const FileDialogFilter& filter : options.filters) {
    // "*.*" shows every file, as it does on the reader's home platform; on Linux a name
    // need not have a dot.
    const QString pattern = filter.pattern == "*.*" ? QStringLiteral("*") : ToQt(filter.pattern);
    filters << ToQt(filter.name) + QStringLiteral(" (") + pattern + QLatin1Char(')');
  }
  QFileDialog dialog(this, ToQt(options.title));
  dialog.setObjectName(QStringLiteral("OpenDialog"));
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(options.file_must_exist ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
  dialog.setNameFilters(filters);
  dialog.setDefaultSuffix(ToQt(options.default_extension));
  dialog.setSizeGripEnabled(options.resizable);
  if (!options.file_name.empty()) dialog.selectFile(QString::fromStdString(options.file_name));
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  // A file-system name: UTF-8, as Linux takes it.
  return dialog.selectedFiles().first().toStdString();
}

std::optional<std::string> MainWindow::ChooseFileToSave(const SaveDialogOptions& options) {
  QStringList filters;
  for (const FileDialogFilter& filter : options.filters) {
    const QString pattern = filter.pattern == "*.*" ? QStringLiteral("*") : ToQt(filter.pattern);
    filters << ToQt(filter.name) + QStringLiteral(" (") + pattern + QLatin1Char(')');
  }
  QFileDialog dialog(this, ToQt(options.title));
  dialog.setObjectName(QStringLiteral("SaveDialog"));
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setNameFilters(filters);
  dialog.setOption(QFileDialog::DontConfirmOverwrite, !options.confirm_overwrite);
  if (!options.file_name.empty()) dialog.selectFile(QString::fromStdString(options.file_name));
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  // The default extension goes only to a name typed without one ("times" gives times.xlm),
  // whichever filter is chosen; the dialog's own suffix rule is not used for that reason.
  return WithDefaultExtension(dialog.selectedFiles().first().toStdString(), options.default_extension);
}

DialogAnswer MainWindow::AskYesNoCancel(const std::string& text, const std::string& caption) {
  QMessageBox box(QMessageBox::Information, ToQt(caption), ToQtMessage(text),
                  QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, this);
  box.setObjectName(QStringLiteral("YesNoCancelBox"));
  // A stray Enter changes nothing.
  box.setDefaultButton(QMessageBox::Cancel);
  box.setEscapeButton(QMessageBox::Cancel);
  switch (box.exec()) {
    case QMessageBox::Yes:
      return DialogAnswer::Yes;
    case QMessageBox::No:
      return DialogAnswer::No;
    default:
      return DialogAnswer::Cancel;  // Cancel, Escape or the window closed
  }
}

bool MainWindow::ShowComSetup(ComSetupChoices& choices) {
  ComSetupDialog dialog(choices, this);
  if (dialog.exec() != QDialog::Accepted) return false;
  choices = dialog.Choices();
  return true;
}

void MainWindow::ShowAbout() { about_->ShowModal(); }

PrintHost* MainWindow::Printer() {
  if (!print_host_) print_host_ = std::make_unique<QtPrintHost>(this, *setup_.clock, setup_.locale);
  return print_host_.get();
}

bool MainWindow::ShowHtmlSettings(HTMLSettings& settings, const std::function<void(const HTMLSettings&)>& preview) {
  // The preview's errors (a page that cannot be written) end in the standard error report,
  // not in Qt's event loop.
  HtmlSettingsDialog dialog(settings, [this, preview](const HTMLSettings& values) { Run([&] { preview(values); }); },
                            this);
  return dialog.exec() == QDialog::Accepted;
}

SystemColors MainWindow::DesktopColors() const {
  const auto rgb = [](const QColor& color) { return static_cast<CellColor>(color.rgb() & 0xFFFFFF); };
  const QPalette colors = palette();
  SystemColors system;
  system.buttonFace = rgb(colors.color(QPalette::Button));
  system.window = rgb(colors.color(QPalette::Base));
  system.windowText = rgb(colors.color(QPalette::Text));
  system.infoBackground = rgb(QToolTip::palette().color(QPalette::ToolTipBase));
  system.light3D = rgb(colors.color(QPalette::Midlight));
  return system;
}

void MainWindow::OpenUrl(const std::string& url) {
  if (!QDesktopServices::openUrl(QUrl(QString::fromStdString(url)))) {
    throw Error("The web browser could not be started for " + url);
  }
}

void MainWindow::TablesChanged() {
  read_times_model_->RequestRefresh();
  sheet_model_->RequestRefresh();
}

// --- LinkControls ---------------------------------------------------------------------

void MainWindow::ClearPortList() { port_list_->clear(); }

void MainWindow::AddPortListEntry(const std::string& text) {
  const bool first = port_list_->count() == 0;
  port_list_->addItem(ToQtMessage(text));
  // A combo box selects its first entry by itself; the port list selects only on request.
  if (first) port_list_->setCurrentIndex(-1);
}

int MainWindow::PortListCount() const { return port_list_->count(); }

std::string MainWindow::PortListEntry(int index) const {
  const QString text = port_list_->itemText(index);
  // Entries name devices by their UTF-8 file names.
  return text.toStdString();
}

int MainWindow::SelectedPortListEntry() const { return port_list_->currentIndex(); }

void MainWindow::SelectPortListEntry(int index) { port_list_->setCurrentIndex(index); }

std::string MainWindow::TimeStatus() const { return FromQt(time_status_->text()); }

void MainWindow::SetTimeStatus(const std::string& text) { time_status_->setText(ToQt(text)); }

}  // namespace ln40::gui
