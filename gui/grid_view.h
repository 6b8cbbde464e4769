#pragma once
// The on-screen grid of a TGridTable: a QTableView over a GridTableModel that also shows
// what the model cannot carry: merged cells (spans), hidden columns and the table's column
// widths (a width dragged by the user is written back to the table). The view's current
// cell is kept as the table's current cell. No row header, a bold column header, rows of
// one fixed height.
//
// The view hands the keys of the table's editing logic (INS, DEL, Enter and the clipboard
// keys) to a GridKeyHandler, and a left click on a heading to HandleHeadingClick; the
// heading of the table's sort column shows the sort direction. Qt never sorts by itself.
// While a cell is edited its keys belong to the cell editor; an edit ended with Enter then
// moves on as Enter does outside the editor.
//
// The table's column widths are pixels of the font they were made for; the view shows them
// scaled to the font on the screen and to the zoom, and never narrower than the column's
// heading or a five-digit number. A number that does not fit its cell is shown as "###",
// never cut. Ctrl+wheel asks for a zoom step (the window zooms every grid together).
//
// Painting the visible cells is what a refresh costs, so the view paints only what changed:
// rows appended below the visible ones cost a scroll bar update, and a refresh that reports
// every row changed repaints only when the visible cells' texts differ from the last look.
#include <QStyledItemDelegate>
#include <QTableView>
#include <functional>
#include <vector>

#include "grid_model.h"
#include "table/grid_keys.h"
#include "table/grid_selection.h"

namespace ln40::gui {

// The cell editor of a grid. It reports every end of an edit, committed or not, with the
// cell that was edited, and it fills an open editor only once, so a table refresh while
// the user types does not overwrite the typing.
class GridDelegate : public QStyledItemDelegate {
  Q_OBJECT

 public:
  explicit GridDelegate(QObject* parent = nullptr);

  QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
  void setEditorData(QWidget* editor, const QModelIndex& index) const override;

  // Whether the edit that is ending was ended with Enter, and the modifiers held then;
  // asking forgets it.
  bool TakeEndedByEnter(Qt::KeyboardModifiers& modifiers);

  // The text a cell shows at `option`'s size: a number too wide for it becomes "###".
  QString ShownText(const QStyleOptionViewItem& option, const QModelIndex& index) const;

 signals:
  // Model row and column of the cell whose editing ended.
  void editingEnded(int row, int col);

 protected:
  bool eventFilter(QObject* object, QEvent* event) override;
  void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override;

 private:
  mutable int row_ = -1;
  mutable int col_ = -1;
  mutable bool ended_by_enter_ = false;
  Qt::KeyboardModifiers enter_modifiers_;
};

// Runs a command that a view starts from a key or a click; what the command throws must
// not reach Qt's event loop. The window passes its standard error report.
using CommandRunner = std::function<void(const std::function<void()>&)>;

// The grids' zoom `steps` steps on from `percent` (back when negative), within 50 to 400.
int ZoomAfterSteps(int percent, int steps);

class GridView : public QTableView {
  Q_OBJECT

 public:
  GridView(GridTableModel* model, QWidget* parent = nullptr);

  GridTableModel* Model() const { return model_; }
  GridDelegate* Delegate() const { return delegate_; }

  // The table's editing keys go to `handler` (none: Qt's keys alone); it must outlive the
  // view or be taken back with nullptr. Clipboard keys that the handler's navigation does
  // not allow do nothing here.
  void SetKeyHandler(GridKeyHandler* handler) { keys_ = handler; }
  void SetCommandRunner(CommandRunner run) { run_ = std::move(run); }

  // One key of the editing logic as if typed while no cell is edited (the shortcut menu's
  // commands); false when the handler does not take it.
  bool RunKey(const GridKeyEvent& event);

  // The selected rectangle in table coordinates (the current cell when nothing is selected).
  GridSelection Selection() const;
  // Makes the table's current cell the view's current cell, selects `selection` around it
  // and scrolls the current cell into view.
  void ShowSelection(const GridSelection& selection);
  // `cell` becomes the view's current cell, alone selected and scrolled into view; a cell
  // of the header row only scrolls its column into view.
  void ShowCell(const CellRef& cell);

  // Commits and closes an open cell editor, as leaving the cell does.
  void FinishEditing();
  // Closes an open cell editor and drops its text, reporting nothing: for a view whose
  // table is about to go.
  void DiscardEditing();

  void doItemsLayout() override;

  // While on, rows appended while the view shows the table's end are scrolled into view, as
  // a terminal follows its output; once the user scrolls up the view stays where it is,
  // until it is at the end again. Off at first.
  void SetFollowsNewestRow(bool follow) { follows_newest_ = follow; }
  // While on, a refresh that finds the table's current row moved by the program (a runner
  // matched to a message) makes the table's current cell the view's and scrolls it into
  // view, unless a cell is being edited. Off at first.
  void SetFollowsCurrentCell(bool follow) { follows_current_ = follow; }

  // Zoom in percent of the font the view was made with: the cells' and headings' font,
  // the row height and the column widths together.
  void SetZoom(int percent);
  int Zoom() const { return zoom_; }
  // Screen pixels per pixel of the table's column widths: the width of a digit in the
  // font shown against its width in the font the widths were made for.
  double WidthScale() const;
  // The width the view gives column `col` of the table.
  int ShownColumnWidth(int col) const;
  // The text shown in the cell at `index`, as wide as its column is now.
  QString ShownText(const QModelIndex& index) const;

 signals:
  // Ctrl+wheel: +1 per step towards a larger font, -1 per step back.
  void zoomStepRequested(int steps);

 protected:
  void dataChanged(const QModelIndex& top_left, const QModelIndex& bottom_right,
                   const QList<int>& roles = QList<int>()) override;
  void keyPressEvent(QKeyEvent* event) override;
  void closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;

 private:
  // A left press and release on the header viewport at x.
  void HeadingPressed(int x);
  void HeadingReleased(int x);
  // The header's sort mark from the table's sort state.
  void ShowSortIndicator();
  // Brings the model up to the table's shape before a command reads the view's selection.
  void SyncModel();
  void Run(const std::function<void()>& command);

  // After a reset: spans, hidden columns and widths from scratch.
  void ApplyAll();
  // Spans whose top-left cell lies in model rows first..last.
  void AddSpans(int first, int last);
  // After every refresh: spans still where they were, hidden columns as in the table.
  void CheckSpansAndColumns();
  void ApplyHiddenColumns();
  // Every shown column at ShownColumnWidth(); the table's widths stay as they are.
  void ApplyWidths();
  // The narrowest width that shows column `col`'s heading and a five-digit number whole.
  int ContentMinimumWidth(int col) const;
  // After a refresh: the table's current cell into view when it moved, as switched on.
  void FollowCurrentCell();
  // A hash of the visible cells' texts and of which cells are visible.
  size_t VisibleFingerprint() const;

  // What the next layout has to do: nothing new, rows inserted from `inserted_from_` on
  // (appended, or inserted by a key), or everything.
  enum class PendingLayout { kNone, kInserted, kFull };
  PendingLayout pending_layout_ = PendingLayout::kFull;
  int inserted_from_ = 0;
  size_t looked_at_ = 0;  // VisibleFingerprint() at the last look

  GridTableModel* model_;
  GridDelegate* delegate_;
  std::vector<MergeSpan> spans_;  // as set on the view, in table coordinates
  bool applying_ = false;
  GridKeyHandler* keys_ = nullptr;
  CommandRunner run_;
  int heading_press_ = -1;  // column under a left press on the header, -1 outside
  QFont base_font_;         // the font at zoom 100
  int zoom_ = 100;
  int wheel_angle_ = 0;
  bool follows_newest_ = false;
  bool follows_current_ = false;
  bool at_end_ = true;  // the vertical scroll bar was at its end when it last moved  // Ctrl+wheel turning not yet made into a step
};

}  // namespace ln40::gui
