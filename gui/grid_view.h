#pragma once
// The on-screen grid of a TGridTable: a QTableView over a GridTableModel that also shows
// what the model cannot carry: merged cells (spans), hidden columns and the table's column
// widths (a width dragged by the user is written back to the table). The view's current
// cell is kept as the table's current cell. No row header, a bold column header, rows of
// one fixed height.
//
// Painting the visible cells is what a refresh costs, so the view paints only what changed:
// rows appended below the visible ones cost a scroll bar update, and a refresh that reports
// every row changed repaints only when the visible cells' texts differ from the last look.
#include <QStyledItemDelegate>
#include <QTableView>
#include <vector>

#include "grid_model.h"

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

 signals:
  // Model row and column of the cell whose editing ended.
  void editingEnded(int row, int col);

 private:
  mutable int row_ = -1;
  mutable int col_ = -1;
};

class GridView : public QTableView {
  Q_OBJECT

 public:
  GridView(GridTableModel* model, QWidget* parent = nullptr);

  GridTableModel* Model() const { return model_; }
  GridDelegate* Delegate() const { return delegate_; }

  void doItemsLayout() override;

 protected:
  void dataChanged(const QModelIndex& top_left, const QModelIndex& bottom_right,
                   const QList<int>& roles = QList<int>()) override;

 private:
  // After a reset: spans, hidden columns and widths from scratch.
  void ApplyAll();
  // Spans whose top-left cell lies in model rows first..last.
  void AddSpans(int first, int last);
  // After every refresh: spans still where they were, hidden columns as in the table.
  void CheckSpansAndColumns();
  void ApplyHiddenColumns();
  // A hash of the visible cells' texts and of which cells are visible.
  size_t VisibleFingerprint() const;

  // What the next layout has to do: nothing new, rows appended from `appended_from_` on,
  // or everything.
  enum class PendingLayout { kNone, kAppended, kFull };
  PendingLayout pending_layout_ = PendingLayout::kFull;
  int appended_from_ = 0;
  size_t looked_at_ = 0;  // VisibleFingerprint() at the last look

  GridTableModel* model_;
  GridDelegate* delegate_;
  std::vector<MergeSpan> spans_;  // as set on the view, in table coordinates
  bool applying_ = false;
};

}  // namespace ln40::gui
