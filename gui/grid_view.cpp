#include "grid_view.h"

#include <QApplication>
#include <QDebug>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScrollBar>
#include <QStyleOptionHeader>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>
#include <exception>
#include <functional>
#include <string_view>
#include <utility>

#include "table/heading_sort.h"

namespace ln40::gui {

namespace {

GridKeyEvent GridKeyEventOf(const QKeyEvent& event, bool editing) {
  GridKeyEvent key;
  switch (event.key()) {
    case Qt::Key_Insert:
      key.key = GridKey::Insert;
      break;
    case Qt::Key_Delete:
      key.key = GridKey::Delete;
      break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
      key.key = GridKey::Enter;
      break;
    case Qt::Key_C:
      key.key = GridKey::C;
      break;
    case Qt::Key_V:
      key.key = GridKey::V;
      break;
    case Qt::Key_X:
      key.key = GridKey::X;
      break;
    default:
      break;
  }
  const Qt::KeyboardModifiers modifiers = event.modifiers();
  key.ctrl = modifiers.testFlag(Qt::ControlModifier);
  key.shift = modifiers.testFlag(Qt::ShiftModifier);
  key.alt = modifiers.testFlag(Qt::AltModifier);
  key.editing = editing;
  return key;
}

bool IsClipboardKey(const QKeyEvent& event) {
  return event.matches(QKeySequence::Copy) || event.matches(QKeySequence::Cut) || event.matches(QKeySequence::Paste);
}

// The tables' column widths were made for MS Sans Serif 8 pt at 96 dots per inch, which
// draws every digit 6 pixels wide.
constexpr double kReferenceDigitWidth = 6.0;
// Start numbers, chip numbers and the message count of a long race: every column can show
// a number of five digits.
const QString kWidestNumber = QStringLiteral("00000");

// The scroll bars' thumb darker than its track, as most desktops draw it. The default style
// draws a light thumb in a darker groove: a thumb that covers most of the track, as on a
// sheet a little wider than the window, then reads as a small dark thumb at the far end.
const char* const kScrollBars =
    "QScrollBar { background: palette(base); border: 0; }"
    "QScrollBar:horizontal { height: 14px; border-top: 1px solid palette(midlight); }"
    "QScrollBar:vertical { width: 14px; border-left: 1px solid palette(midlight); }"
    "QScrollBar::handle { background: palette(mid); border-radius: 4px; }"
    "QScrollBar::handle:hover, QScrollBar::handle:pressed { background: palette(dark); }"
    "QScrollBar::handle:horizontal { min-width: 24px; margin: 3px 2px; }"
    "QScrollBar::handle:vertical { min-height: 24px; margin: 2px 3px; }"
    "QScrollBar::add-line, QScrollBar::sub-line { width: 0; height: 0; border: 0; }"
    "QScrollBar::add-page, QScrollBar::sub-page { background: none; }";

// Digits with the signs and separators of numbers, times and dates; such a text cut short
// would read as another number.
bool IsNumberText(const QString& text) {
  bool digit = false;
  for (const QChar c : text) {
    if (c.isDigit()) {
      digit = true;
    } else if (!QStringLiteral("+-.,:/ ").contains(c)) {
      return false;
    }
  }
  return digit;
}

// Whole pixels a text takes: the style cuts a text whose fractional width exceeds its room.
int TextWidth(const QFont& font, const QString& text) {
  return static_cast<int>(std::ceil(QFontMetricsF(font).horizontalAdvance(text)));
}

// Pixels between a cell's edge and its text, on each side, as the style draws them.
int CellTextMargin(const QWidget* widget) {
  const QStyle* style = widget ? widget->style() : QApplication::style();
  return style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, widget) + 1;
}

}  // namespace

GridDelegate::GridDelegate(QObject* parent) : QStyledItemDelegate(parent) {
  connect(this, &QAbstractItemDelegate::closeEditor, this, [this] {
    if (row_ >= 0) emit editingEnded(row_, col_);
  });
}

QWidget* GridDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                                    const QModelIndex& index) const {
  row_ = index.row();
  col_ = index.column();
  ended_by_enter_ = false;
  return QStyledItemDelegate::createEditor(parent, option, index);
}

bool GridDelegate::eventFilter(QObject* object, QEvent* event) {
  if (event->type() == QEvent::KeyPress) {
    const auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
      // The base commits and closes the editor on the next turn of the event loop.
      ended_by_enter_ = true;
      enter_modifiers_ = key->modifiers();
    }
  }
  return QStyledItemDelegate::eventFilter(object, event);
}

bool GridDelegate::TakeEndedByEnter(Qt::KeyboardModifiers& modifiers) {
  const bool ended = ended_by_enter_;
  ended_by_enter_ = false;
  modifiers = enter_modifiers_;
  return ended;
}

void GridDelegate::initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const {
  QStyledItemDelegate::initStyleOption(option, index);
  if (option->text.isEmpty() || !IsNumberText(option->text)) return;
  const int room = option->rect.width() - 2 * CellTextMargin(option->widget);
  if (TextWidth(option->font, option->text) <= room) return;
  const int hash = std::max(1, option->fontMetrics.horizontalAdvance(QLatin1Char('#')));
  option->text = QString(std::max(1, room / hash), QLatin1Char('#'));
}

QString GridDelegate::ShownText(const QStyleOptionViewItem& option, const QModelIndex& index) const {
  QStyleOptionViewItem shown = option;
  initStyleOption(&shown, index);
  const int room = shown.rect.width() - 2 * CellTextMargin(shown.widget);
  return shown.fontMetrics.elidedText(shown.text, shown.textElideMode, room);
}

void GridDelegate::setEditorData(QWidget* editor, const QModelIndex& index) const {
  if (editor->property("ln40Filled").toBool()) return;
  QStyledItemDelegate::setEditorData(editor, index);
  editor->setProperty("ln40Filled", true);
}

GridView::GridView(GridTableModel* model, QWidget* parent)
    : QTableView(parent), model_(model), delegate_(new GridDelegate(this)) {
  setItemDelegate(delegate_);
  setModel(model_);
  setSelectionMode(QAbstractItemView::ContiguousSelection);
  setSelectionBehavior(QAbstractItemView::SelectItems);
  setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                  QAbstractItemView::AnyKeyPressed | QAbstractItemView::SelectedClicked);
  setWordWrap(false);
  setCornerButtonEnabled(false);
  // Sideways by pixels: the thumb is as long as the part of the row that is in sight.
  setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
  setStyleSheet(QString::fromLatin1(kScrollBars));

  verticalHeader()->hide();
  verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  const int row_height = fontMetrics().height() + 6;
  verticalHeader()->setMinimumSectionSize(row_height);
  verticalHeader()->setDefaultSectionSize(row_height);

  QHeaderView* header = horizontalHeader();
  QFont bold = header->font();
  bold.setBold(true);
  header->setFont(bold);
  header->setSectionResizeMode(QHeaderView::Interactive);
  header->setHighlightSections(false);
  header->setMinimumSectionSize(0);
  // A heading click sorts (HeadingReleased), it does not select the column; the sort mark
  // shows the table's sort state from the start. Qt's own sorting stays off (switching it
  // off hides the mark, so the mark comes after).
  setSortingEnabled(false);
  header->setSectionsClickable(false);
  header->setSortIndicatorShown(true);
  header->viewport()->installEventFilter(this);

  connect(model_, &QAbstractItemModel::modelReset, this, [this] {
    pending_layout_ = PendingLayout::kFull;
    ApplyAll();
  });
  connect(model_, &QAbstractItemModel::rowsInserted, this, [this](const QModelIndex&, int first, int last) {
    if (pending_layout_ == PendingLayout::kNone) {
      pending_layout_ = PendingLayout::kInserted;
      inserted_from_ = first;
    } else if (pending_layout_ == PendingLayout::kInserted) {
      inserted_from_ = std::min(inserted_from_, first);
    }
    AddSpans(first, last);
  });
  connect(model_, &GridTableModel::refreshed, this, &GridView::CheckSpansAndColumns);
  connect(model_, &GridTableModel::refreshed, this, &GridView::FollowCurrentCell);
  // The scroll bar learns a new length with the layout after the rows came, or after the
  // view was first shown or resized: a view at the end then stays at the end.
  connect(verticalScrollBar(), &QScrollBar::valueChanged, this,
          [this](int value) { at_end_ = value >= verticalScrollBar()->maximum(); });
  connect(verticalScrollBar(), &QScrollBar::rangeChanged, this, [this](int, int maximum) {
    if (follows_newest_ && at_end_) verticalScrollBar()->setValue(maximum);
  });
  connect(header, &QHeaderView::sectionResized, this, [this](int col, int, int size) {
    if (applying_ || size <= 0 || horizontalHeader()->isSectionHidden(col)) return;
    model_->Table().SetColumnWidth(col, static_cast<int>(std::lround(size / WidthScale())));
  });
  connect(selectionModel(), &QItemSelectionModel::currentChanged, this, [this](const QModelIndex& current) {
    if (!current.isValid()) return;
    model_->Table().SetCol(current.column());
    model_->Table().SetRow(GridTableModel::TableRow(current.row()));
  });
  base_font_ = font();
  SetZoom(100);
  ApplyAll();
  ShowSortIndicator();
}

int ZoomAfterSteps(int percent, int steps) {
  static constexpr int kSteps[] = {50, 67, 80, 90, 100, 110, 125, 150, 175, 200, 250, 300, 400};
  constexpr int kCount = static_cast<int>(std::size(kSteps));
  // From the step at or just above `percent`; a zoom between two steps goes up to the
  // one above it or down to the one below.
  int at = 0;
  while (at < kCount - 1 && kSteps[at] < percent) ++at;
  if (steps > 0 && kSteps[at] > percent) --at;
  return kSteps[std::clamp(at + steps, 0, kCount - 1)];
}

void GridView::SetZoom(int percent) {
  zoom_ = percent;
  QFont shown = base_font_;
  if (base_font_.pointSizeF() > 0) {
    shown.setPointSizeF(base_font_.pointSizeF() * zoom_ / 100.0);
  } else {
    shown.setPixelSize(std::max(1, static_cast<int>(std::lround(base_font_.pixelSize() * zoom_ / 100.0))));
  }
  setFont(shown);
  QFont bold = shown;
  bold.setBold(true);
  horizontalHeader()->setFont(bold);
  model_->SetHeadingFont(bold);
  const int row_height = fontMetrics().height() + 6;
  verticalHeader()->setMinimumSectionSize(row_height);
  verticalHeader()->setDefaultSectionSize(row_height);
  ApplyWidths();
}

double GridView::WidthScale() const {
  return QFontMetricsF(font()).horizontalAdvance(QStringLiteral("0123456789")) / 10.0 / kReferenceDigitWidth;
}

int GridView::ContentMinimumWidth(int col) const {
  const QHeaderView* header = horizontalHeader();
  QStyleOptionHeader heading;
  heading.initFrom(header);
  heading.orientation = Qt::Horizontal;
  heading.section = col;
  heading.text = model_->headerData(col, Qt::Horizontal).toString();
  heading.textAlignment = Qt::AlignCenter;
  heading.fontMetrics = QFontMetrics(header->font());
  const QSize size = header->style()->sizeFromContents(QStyle::CT_HeaderSection, &heading, QSize(), header);
  // The style measures in whole pixels and cuts by the fractional width.
  int width = size.width() + TextWidth(header->font(), heading.text) - heading.fontMetrics.horizontalAdvance(heading.text);
  // The sort mark takes its room from the heading's text.
  if (header->isSortIndicatorShown() && header->sortIndicatorSection() == col) {
    width += size.height() + header->style()->pixelMetric(QStyle::PM_HeaderMargin, &heading, header);
  }
  const int grid_line = showGrid() ? 1 : 0;
  const int number = TextWidth(font(), kWidestNumber) + 2 * CellTextMargin(this) + grid_line;
  return std::max(width, number);
}

int GridView::ShownColumnWidth(int col) const {
  const int scaled = static_cast<int>(std::lround(model_->Table().ColumnWidth(col) * WidthScale()));
  return std::max(scaled, ContentMinimumWidth(col));
}

void GridView::ApplyWidths() {
  const bool was_applying = applying_;
  applying_ = true;
  for (int col = 0; col < model_->columnCount(); ++col) {
    if (!isColumnHidden(col)) setColumnWidth(col, ShownColumnWidth(col));
  }
  applying_ = was_applying;
}

QString GridView::ShownText(const QModelIndex& index) const {
  QStyleOptionViewItem option;
  initViewItemOption(&option);
  option.rect = visualRect(index);
  return delegate_->ShownText(option, index);
}

void GridView::wheelEvent(QWheelEvent* event) {
  if (!event->modifiers().testFlag(Qt::ControlModifier)) {
    QTableView::wheelEvent(event);
    return;
  }
  // A wheel turns in notches of 120; a touchpad sends smaller parts of one.
  wheel_angle_ += event->angleDelta().y();
  const int steps = wheel_angle_ / 120;
  wheel_angle_ -= steps * 120;
  if (steps != 0) emit zoomStepRequested(steps);
  event->accept();
}

void GridView::doItemsLayout() {
  if (pending_layout_ != PendingLayout::kInserted) {
    pending_layout_ = PendingLayout::kNone;
    QTableView::doItemsLayout();
    return;
  }
  // Rows inserted move only the rows below them: the scroll bar learns the new length, and
  // the viewport is painted from the first new row down (all of it when that row lies above).
  pending_layout_ = PendingLayout::kNone;
  updateGeometries();
  const int first_y = std::max(0, rowViewportPosition(inserted_from_));
  if (first_y >= 0 && first_y < viewport()->height()) {
    viewport()->update(0, first_y, viewport()->width(), viewport()->height() - first_y);
  }
}

void GridView::dataChanged(const QModelIndex& top_left, const QModelIndex& bottom_right, const QList<int>& roles) {
  const bool texts = roles.isEmpty() || roles.contains(Qt::DisplayRole);
  if (texts && top_left != bottom_right && isVisible()) {
    // A refresh reports all rows shown before; repaint only when what is visible changed.
    const size_t now = VisibleFingerprint();
    if (now == looked_at_) return;
    looked_at_ = now;
  }
  // While a layout is pending Qt leaves the repaint to it, and the layout after appended
  // rows paints only from the first new row down: the changed rows above go with it.
  if (pending_layout_ == PendingLayout::kInserted) inserted_from_ = std::min(inserted_from_, top_left.row());
  QTableView::dataChanged(top_left, bottom_right, roles);
}

size_t GridView::VisibleFingerprint() const {
  const int rows = model_->rowCount();
  const int cols = model_->columnCount();
  const int top = rowAt(0);
  const int left = columnAt(0);
  if (top < 0 || left < 0) return 0;
  int bottom = rowAt(viewport()->height() - 1);
  if (bottom < 0) bottom = rows - 1;
  int right = columnAt(viewport()->width() - 1);
  if (right < 0) right = cols - 1;
  const TGridTable& table = model_->Table();
  const std::hash<std::string_view> hash;
  size_t fingerprint = ((static_cast<size_t>(top) * 31 + bottom) * 31 + left) * 31 + right;
  for (int row = top; row <= bottom; ++row) {
    for (int col = left; col <= right; ++col) {
      fingerprint = fingerprint * 1000003u ^ hash(table.Cell(col, GridTableModel::TableRow(row)));
    }
  }
  return fingerprint;
}

void GridView::FollowCurrentCell() {
  if (!follows_current_ || state() == EditingState) return;
  const TGridTable& table = model_->Table();
  const QModelIndex wanted = model_->index(GridTableModel::ModelRow(table.Row()), table.Col());
  // A message for no runner moves only the current column: the user's selection stays.
  if (!wanted.isValid() || wanted.row() == currentIndex().row()) return;
  setCurrentIndex(wanted);
  scrollTo(wanted);
}

void GridView::ApplyAll() {
  applying_ = true;
  clearSpans();
  spans_.clear();
  ApplyHiddenColumns();
  ApplyWidths();
  AddSpans(0, model_->rowCount() - 1);
  applying_ = false;
}

void GridView::AddSpans(int first, int last) {
  const TGridTable& table = model_->Table();
  const int cols = model_->columnCount();
  for (int model_row = first; model_row <= last; ++model_row) {
    const int row = GridTableModel::TableRow(model_row);
    for (int col = 0; col < cols; ++col) {
      const auto span = table.MergeSpanAt(col, row);
      if (!span || span->col != col || span->row != row) continue;
      if (span->width <= 1 && span->height <= 1) continue;
      setSpan(model_row, col, span->height, span->width);
      spans_.push_back(*span);
      col += span->width - 1;
    }
  }
}

void GridView::CheckSpansAndColumns() {
  const TGridTable& table = model_->Table();
  for (const MergeSpan& span : spans_) {
    const auto now = table.MergeSpanAt(span.col, span.row);
    if (!now || now->col != span.col || now->row != span.row || now->width != span.width ||
        now->height != span.height) {
      // Rows moved under the merges (an insertion, a deletion, a sort): look again.
      applying_ = true;
      clearSpans();
      spans_.clear();
      AddSpans(0, model_->rowCount() - 1);
      applying_ = false;
      break;
    }
  }
  ApplyHiddenColumns();
  ShowSortIndicator();
}

void GridView::ApplyHiddenColumns() {
  const TGridTable& table = model_->Table();
  const bool was_applying = applying_;
  applying_ = true;
  for (int col = 0; col < model_->columnCount(); ++col) {
    const bool hidden = table.IsColumnHidden(col);
    if (isColumnHidden(col) == hidden) continue;
    setColumnHidden(col, hidden);
    if (!hidden) setColumnWidth(col, ShownColumnWidth(col));
  }
  applying_ = was_applying;
}

// --- Keys, heading clicks and the selection --------------------------------------------

void GridView::Run(const std::function<void()>& command) {
  if (run_) {
    run_(command);
    return;
  }
  try {
    command();
  } catch (const std::exception& error) {
    qWarning("%s", error.what());
  }
}

void GridView::SyncModel() {
  const TGridTable& table = model_->Table();
  if (model_->rowCount() != table.RowCount() - 1 || model_->columnCount() != table.ColCount()) model_->Refresh();
}

void GridView::keyPressEvent(QKeyEvent* event) {
  // While a cell is edited the editor has the keys; those it leaves (INS, Enter) reach the
  // view and go on to Qt's handling, and an Enter moves on once the edit is committed.
  if (keys_ && state() != EditingState) {
    const GridKeyEvent key = GridKeyEventOf(*event, false);
    if (key.key != GridKey::Other && RunKey(key)) {
      event->accept();
      return;
    }
    if (!keys_->Navigation().allowClipboardShortCuts && IsClipboardKey(*event)) {
      event->accept();
      return;
    }
  }
  QTableView::keyPressEvent(event);
}

void GridView::closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) {
  Qt::KeyboardModifiers modifiers;
  const bool by_enter = delegate_->TakeEndedByEnter(modifiers);
  // Without Tab navigation Tab ends the edit and stays on the cell.
  if (!tabKeyNavigation() &&
      (hint == QAbstractItemDelegate::EditNextItem || hint == QAbstractItemDelegate::EditPreviousItem)) {
    hint = QAbstractItemDelegate::NoHint;
  }
  QTableView::closeEditor(editor, hint);
  if (by_enter && keys_) {
    GridKeyEvent enter;
    enter.key = GridKey::Enter;
    enter.ctrl = modifiers.testFlag(Qt::ControlModifier);
    enter.shift = modifiers.testFlag(Qt::ShiftModifier);
    enter.alt = modifiers.testFlag(Qt::AltModifier);
    enter.editing = true;
    RunKey(enter);
  }
}

bool GridView::RunKey(const GridKeyEvent& event) {
  if (!keys_) return false;
  const GridKeyAction action = GridKeyActionFor(event, keys_->Navigation());
  if (action == GridKeyAction::None) return false;
  TGridTable& table = model_->Table();
  SyncModel();
  const GridSelection before = Selection();
  GridSelection selection = before;
  const int rows_before = table.RowCount();
  const int row_before = table.Row();
  bool handled = false;
  // The table changes under the model; the views are told once, below, with the rows
  // where they changed.
  model_->HoldRefreshes(true);
  Run([&] { handled = keys_->HandleKey(event, selection); });
  // Telling the views moves their current cell off removed rows, which the view writes
  // back into the table; the key's current cell is the one that counts.
  const CellRef current{table.Col(), table.Row()};
  if (action == GridKeyAction::InsertRow && table.RowCount() == rows_before + 1) {
    model_->RowsInsertedInTable(table.Row(), 1);
  } else if (action == GridKeyAction::DeleteRow && table.RowCount() == rows_before - 1) {
    model_->RowsRemovedFromTable(row_before, 1);
  }
  if (action != GridKeyAction::Copy) model_->Refresh();
  model_->HoldRefreshes(false);
  table.SetCol(current.col);
  table.SetRow(current.row);
  if (!handled) return false;
  if (action == GridKeyAction::Copy || action == GridKeyAction::Cut || action == GridKeyAction::Paste) {
    // The selection stays as it was; a paste that widened the table reset the views.
    const QModelIndex current = currentIndex();
    if (Selection() != before || !current.isValid() || current.column() != table.Col() ||
        GridTableModel::TableRow(current.row()) != table.Row()) {
      ShowSelection(before);
    }
  } else {
    ShowSelection(selection);
  }
  return true;
}

GridSelection GridView::Selection() const {
  const TGridTable& table = model_->Table();
  const QItemSelection ranges = selectionModel()->selection();
  if (ranges.isEmpty()) {
    const QModelIndex current = currentIndex();
    if (current.isValid()) return GridSelection::AtCell(current.column(), GridTableModel::TableRow(current.row()));
    return GridSelection::AtCell(table.Col(), table.Row()).ClampedTo(table);
  }
  int left = ranges.front().left();
  int top = ranges.front().top();
  int right = ranges.front().right();
  int bottom = ranges.front().bottom();
  for (const QItemSelectionRange& range : ranges) {
    left = std::min(left, range.left());
    top = std::min(top, range.top());
    right = std::max(right, range.right());
    bottom = std::max(bottom, range.bottom());
  }
  return GridSelection::Cells(left, GridTableModel::TableRow(top), right, GridTableModel::TableRow(bottom))
      .ClampedTo(table);
}

void GridView::ShowSelection(const GridSelection& selection) {
  const TGridTable& table = model_->Table();
  const QModelIndex current = model_->index(GridTableModel::ModelRow(table.Row()), table.Col());
  if (!current.isValid()) return;
  // Through the view, so that a shift-click or shift-arrow extends from here.
  setCurrentIndex(current);
  const GridSelection s = selection.ClampedTo(table);
  if (s.CellCount() > 1) {
    const QItemSelection range(model_->index(GridTableModel::ModelRow(s.top), s.left),
                               model_->index(GridTableModel::ModelRow(s.bottom), s.right));
    selectionModel()->select(range, QItemSelectionModel::ClearAndSelect);
  }
  scrollTo(current);
}

void GridView::ShowCell(const CellRef& cell) {
  FinishEditing();
  SyncModel();
  if (cell.row < 1) {
    const int row = std::max(0, rowAt(0));
    if (model_->rowCount() > 0) scrollTo(model_->index(row, cell.col));
    return;
  }
  const QModelIndex index = model_->index(GridTableModel::ModelRow(cell.row), cell.col);
  if (!index.isValid()) return;
  setCurrentIndex(index);
  selectionModel()->select(index, QItemSelectionModel::ClearAndSelect);
  scrollTo(index);
}

void GridView::FinishEditing() {
  if (state() != EditingState) return;
  QWidget* editor = indexWidget(currentIndex());
  if (!editor) return;
  // Through the delegate's signals, so that the end of the edit is reported as ever.
  emit delegate_->commitData(editor);
  emit delegate_->closeEditor(editor, QAbstractItemDelegate::NoHint);
}

void GridView::DiscardEditing() {
  if (state() != EditingState) return;
  if (QWidget* editor = indexWidget(currentIndex())) {
    QTableView::closeEditor(editor, QAbstractItemDelegate::RevertModelCache);
  }
}

bool GridView::eventFilter(QObject* watched, QEvent* event) {
  if (watched == horizontalHeader()->viewport() &&
      (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonRelease)) {
    const auto* mouse = static_cast<QMouseEvent*>(event);
    if (mouse->button() == Qt::LeftButton) {
      const int x = mouse->position().toPoint().x();
      if (event->type() == QEvent::MouseButtonPress) {
        HeadingPressed(x);
      } else {
        HeadingReleased(x);
      }
    }
  }
  // The header goes on with the event: a press near a border starts a column resize.
  return QTableView::eventFilter(watched, event);
}

void GridView::HeadingPressed(int x) { heading_press_ = horizontalHeader()->logicalIndexAt(x); }

void GridView::HeadingReleased(int x) {
  const int pressed = std::exchange(heading_press_, -1);
  QHeaderView* header = horizontalHeader();
  const int released = header->logicalIndexAt(x);
  if (released < 0) return;
  HeadingClick click;
  click.press = CellRef{pressed, 0};
  click.release = CellRef{released, 0};
  click.releaseX = x;
  click.cellLeft = header->sectionViewportPosition(released);
  click.cellRight = click.cellLeft + header->sectionSize(released);
  TGridTable& table = model_->Table();
  if (!IsSortingHeadingClick(table, click)) return;
  // Rows move under an open editor: its text goes to its cell first.
  FinishEditing();
  bool sorted = false;
  Run([&] { sorted = HandleHeadingClick(table, click); });
  if (sorted) model_->Refresh();
  ShowSortIndicator();
}

void GridView::ShowSortIndicator() {
  const TGridTable& table = model_->Table();
  const Qt::SortOrder order =
      table.SortDirectionNow() == SortDirection::Ascending ? Qt::AscendingOrder : Qt::DescendingOrder;
  QHeaderView* header = horizontalHeader();
  if (header->sortIndicatorSection() != table.SortColumn() || header->sortIndicatorOrder() != order) {
    const bool moved = header->sortIndicatorSection() != table.SortColumn();
    header->setSortIndicator(table.SortColumn(), order);
    // The sort mark needs room beside its heading.
    if (moved) ApplyWidths();
  }
}

}  // namespace ln40::gui
