#include "grid_model.h"

#include <QFont>
#include <QTimer>

#include "qt_text.h"

namespace ln40::gui {

GridTableModel::GridTableModel(TGridTable& table, QObject* parent)
    : QAbstractTableModel(parent),
      table_(table),
      rows_(table.RowCount() - 1),
      cols_(table.ColCount()),
      headings_(Headings()),
      pending_refresh_(new QTimer(this)) {
  heading_font_.setBold(true);
  pending_refresh_->setSingleShot(true);
  connect(pending_refresh_, &QTimer::timeout, this, [this] {
    if (!hold_) Refresh();
  });
}

void GridTableModel::RequestRefresh() {
  if (hold_ || pending_refresh_->isActive()) return;
  const qint64 since = last_refresh_.isValid() ? last_refresh_.elapsed() : refresh_interval_ms_;
  if (since >= refresh_interval_ms_) {
    Refresh();
    return;
  }
  pending_refresh_->start(static_cast<int>(refresh_interval_ms_ - since));
}

void GridTableModel::SetHeadingFont(const QFont& font) {
  heading_font_ = font;
  if (cols_ > 0) emit headerDataChanged(Qt::Horizontal, 0, cols_ - 1);
}

void GridTableModel::SetBands(const QColor& first, const QColor& second) {
  first_band_ = first;
  second_band_ = second;
  if (rows_ > 0 && cols_ > 0) emit dataChanged(index(0, 0), index(rows_ - 1, cols_ - 1), {Qt::BackgroundRole});
}

QStringList GridTableModel::Headings() const {
  QStringList headings;
  headings.reserve(table_.ColCount());
  for (int col = 0; col < table_.ColCount(); ++col) headings.push_back(ToQt(table_.Cell(col, 0)));
  return headings;
}

void GridTableModel::Reset() {
  hold_ = false;
  pending_refresh_->stop();
  last_refresh_.start();
  beginResetModel();
  rows_ = table_.RowCount() - 1;
  cols_ = table_.ColCount();
  headings_ = Headings();
  endResetModel();
  emit refreshed();
}

void GridTableModel::RowsInsertedInTable(int table_row, int count) {
  const int first = ModelRow(table_row);
  if (count <= 0 || first < 0 || first > rows_ || table_.ColCount() != cols_ ||
      table_.RowCount() - 1 != rows_ + count) {
    Refresh();
    return;
  }
  beginInsertRows(QModelIndex(), first, first + count - 1);
  rows_ += count;
  endInsertRows();
}

void GridTableModel::RowsRemovedFromTable(int table_row, int count) {
  const int first = ModelRow(table_row);
  if (count <= 0 || first < 0 || first + count > rows_ || table_.ColCount() != cols_ ||
      table_.RowCount() - 1 != rows_ - count) {
    Refresh();
    return;
  }
  // The rows are gone from the table already; until endRemoveRows() the views may still
  // ask for the old last rows, which read as empty cells.
  beginRemoveRows(QModelIndex(), first, first + count - 1);
  rows_ -= count;
  endRemoveRows();
}

void GridTableModel::Refresh() {
  hold_ = false;
  const int rows = table_.RowCount() - 1;
  const int cols = table_.ColCount();
  if (cols != cols_ || rows < rows_) {
    Reset();
    return;
  }
  pending_refresh_->stop();
  last_refresh_.start();
  const int shown_before = rows_;
  if (rows > rows_) {
    beginInsertRows(QModelIndex(), rows_, rows - 1);
    rows_ = rows;
    endInsertRows();
  }
  // The rows shown before may have been written (runner matching, a sort, a cleared row);
  // the views repaint what they show and leave an open cell editor alone.
  if (shown_before > 0 && cols_ > 0) emit dataChanged(index(0, 0), index(shown_before - 1, cols_ - 1));
  QStringList headings = Headings();
  if (headings != headings_) {
    headings_ = std::move(headings);
    emit headerDataChanged(Qt::Horizontal, 0, cols_ - 1);
  }
  emit refreshed();
}

int GridTableModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : rows_; }

int GridTableModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : cols_; }

QVariant GridTableModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid()) return {};
  const int col = index.column();
  const int row = TableRow(index.row());
  switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
      return ToQt(table_.Cell(col, row));
    case Qt::BackgroundRole: {
      if (const auto color = table_.CellBackground(col, row)) return QColor::fromRgb(*color);
      const QColor& band = index.row() % 2 == 0 ? first_band_ : second_band_;
      if (band.isValid()) return band;
      return {};
    }
    case Qt::FontRole:
      if (table_.KindOfRow(row) == RowKind::GroupHeading) {
        QFont bold;
        bold.setBold(true);
        return bold;
      }
      return {};
    default:
      return {};
  }
}

QVariant GridTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation == Qt::Vertical) {
    if (role == Qt::DisplayRole) return section + 1;
    return {};
  }
  switch (role) {
    case Qt::DisplayRole:
      return section < headings_.size() ? headings_[section] : QString();
    case Qt::FontRole:
      return heading_font_;
    default:
      return {};
  }
}

Qt::ItemFlags GridTableModel::flags(const QModelIndex& index) const {
  if (!index.isValid()) return Qt::NoItemFlags;
  return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable;
}

bool GridTableModel::setData(const QModelIndex& index, const QVariant& value, int role) {
  if (!index.isValid() || role != Qt::EditRole) return false;
  table_.SetCell(index.column(), TableRow(index.row()), FromQt(value.toString()));
  emit dataChanged(index, index, {Qt::DisplayRole, Qt::EditRole});
  return true;
}

}  // namespace ln40::gui
