#include "grid_view.h"

#include <QHeaderView>
#include <functional>
#include <string_view>

namespace ln40::gui {

GridDelegate::GridDelegate(QObject* parent) : QStyledItemDelegate(parent) {
  connect(this, &QAbstractItemDelegate::closeEditor, this, [this] {
    if (row_ >= 0) emit editingEnded(row_, col_);
  });
}

QWidget* GridDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                                    const QModelIndex& index) const {
  row_ = index.row();
  col_ = index.column();
  return QStyledItemDelegate::createEditor(parent, option, index);
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

  connect(model_, &QAbstractItemModel::modelReset, this, [this] {
    pending_layout_ = PendingLayout::kFull;
    ApplyAll();
  });
  connect(model_, &QAbstractItemModel::rowsInserted, this, [this](const QModelIndex&, int first, int last) {
    if (pending_layout_ == PendingLayout::kNone) {
      pending_layout_ = PendingLayout::kAppended;
      appended_from_ = first;
    } else if (pending_layout_ == PendingLayout::kAppended) {
      appended_from_ = std::min(appended_from_, first);
    }
    AddSpans(first, last);
  });
  connect(model_, &GridTableModel::refreshed, this, &GridView::CheckSpansAndColumns);
  connect(header, &QHeaderView::sectionResized, this, [this](int col, int, int size) {
    if (applying_ || size <= 0 || horizontalHeader()->isSectionHidden(col)) return;
    model_->Table().SetColumnWidth(col, size);
  });
  connect(selectionModel(), &QItemSelectionModel::currentChanged, this, [this](const QModelIndex& current) {
    if (!current.isValid()) return;
    model_->Table().SetCol(current.column());
    model_->Table().SetRow(GridTableModel::TableRow(current.row()));
  });
  ApplyAll();
}

void GridView::doItemsLayout() {
  if (pending_layout_ != PendingLayout::kAppended) {
    pending_layout_ = PendingLayout::kNone;
    QTableView::doItemsLayout();
    return;
  }
  // Rows appended at the end move nothing that is shown: the scroll bar learns the new
  // length, and only the new rows that fall into the viewport are painted.
  pending_layout_ = PendingLayout::kNone;
  updateGeometries();
  const int first_y = rowViewportPosition(appended_from_);
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

void GridView::ApplyAll() {
  applying_ = true;
  clearSpans();
  spans_.clear();
  const TGridTable& table = model_->Table();
  for (int col = 0; col < table.ColCount(); ++col) setColumnWidth(col, table.ColumnWidth(col));
  ApplyHiddenColumns();
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
}

void GridView::ApplyHiddenColumns() {
  const TGridTable& table = model_->Table();
  const bool was_applying = applying_;
  applying_ = true;
  for (int col = 0; col < model_->columnCount(); ++col) {
    const bool hidden = table.IsColumnHidden(col);
    if (isColumnHidden(col) == hidden) continue;
    setColumnHidden(col, hidden);
    if (!hidden) setColumnWidth(col, table.ColumnWidth(col));
  }
  applying_ = was_applying;
}

}  // namespace ln40::gui
