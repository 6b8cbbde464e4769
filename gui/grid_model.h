#pragma once
// A TGridTable as a Qt table model. Row 0 of the table (the headings) is the horizontal
// header; body rows 1.. are model rows 0.. . The model reads the table directly and tells
// its views about changes only when Refresh() is called, which the window does whenever the
// controller reports that the tables may have changed. Rows appended since the last Refresh
// are announced as inserted rows, so a view of a long table stays smooth while messages
// arrive; any other change of the table's shape resets the model. A view repaints what it
// shows after every refresh, so the window asks for refreshes through RequestRefresh(),
// which lets a burst of messages reach the screen a few times a second instead of once per
// message.
#include <QAbstractTableModel>
#include <QColor>
#include <QElapsedTimer>
#include <QFont>
#include <QStringList>
#include <functional>

class QTimer;

#include "table/grid_table.h"

namespace ln40::gui {

class GridTableModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  explicit GridTableModel(TGridTable& table, QObject* parent = nullptr);

  TGridTable& Table() { return table_; }
  const TGridTable& Table() const { return table_; }

  // The headings' font, which the view's zoom sets (bold at first).
  void SetHeadingFont(const QFont& font);

  // The two colours of the alternating row bands, the first for body row 1.
  void SetBands(const QColor& first, const QColor& second);

  // Brings the views up to date with the table: appended rows are inserted, cells of the
  // rows shown before are reported changed, a changed heading is reported, and a table
  // whose column count changed or whose rows shrank is shown anew (a reset).
  void Refresh();
  // Shows the table anew whatever changed; for commands that rebuild a table in place.
  void Reset();

  // The views learn of rows that a command has just inserted into or removed from the
  // table at body row `table_row`, so they keep their selection and scroll position (a
  // Refresh() would show an insertion as rows appended at the end and a removal as a
  // reset). When the table does not differ from what the views know by exactly those
  // rows, this is a Refresh().
  void RowsInsertedInTable(int table_row, int count);
  void RowsRemovedFromTable(int table_row, int count);

  // While held, RequestRefresh() and a due refresh wait: a command that changes the table
  // and then tells the views itself (above) must not have its rows shown as appended
  // first. Holding ends with the next Refresh() or Reset(), or HoldRefreshes(false).
  void HoldRefreshes(bool hold) { hold_ = hold; }

  // Refresh() at most once per refresh interval: a request after a quiet spell refreshes
  // at once; requests within the interval after a refresh are served together at its end.
  void RequestRefresh();
  // Milliseconds; 0 makes every request refresh at once. 40 at first.
  void SetRefreshInterval(int ms) { refresh_interval_ms_ = ms; }

  // Body row of the table for a model row, and back.
  static int TableRow(int model_row) { return model_row + 1; }
  static int ModelRow(int table_row) { return table_row - 1; }

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;
  bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;

 signals:
  // End of every Refresh(), after the row and reset signals.
  void refreshed();

 private:
  QStringList Headings() const;

  TGridTable& table_;
  int rows_ = 0;  // what the views were last told
  int cols_ = 0;
  QStringList headings_;
  QFont heading_font_;
  QColor first_band_;
  QColor second_band_;
  int refresh_interval_ms_ = 40;
  bool hold_ = false;
  QElapsedTimer last_refresh_;
  QTimer* pending_refresh_;
};

}  // namespace ln40::gui
