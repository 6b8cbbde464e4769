#pragma once
// The keys a table view hands over to the view-free editing logic: INS and DEL for rows,
// Enter to move on, and the clipboard keys with the series paste. A view builds one
// GridKeyHandler per table and passes it every key press; the handler says whether it
// took the key (a view then does nothing more with it). Event thread only.
#include <string>
#include <utility>

#include "table/grid_selection.h"
#include "table/grid_table.h"
#include "table/row_keys.h"
#include "table/series_paste.h"

namespace ln40 {

// The plain-text clipboard of the desktop, behind an interface so that the logic runs and is
// tested without a window system. Texts are Windows-1252.
class TextClipboard {
 public:
  virtual ~TextClipboard() = default;
  virtual std::string Text() const = 0;
  virtual void SetText(const std::string& text) = 0;
};

// The keys that matter here; every other key is Other.
enum class GridKey { Other, Insert, Delete, Enter, C, V, X };

struct GridKeyEvent {
  GridKey key = GridKey::Other;
  bool ctrl = false;
  bool shift = false;
  bool alt = false;
  // A cell's text is being edited: INS, DEL and the clipboard keys then belong to the cell
  // editor and not to the rows. Enter still moves on (the view ends the edit first).
  bool editing = false;
};

// The view settings that decide which keys act.
struct GridNavigation {
  bool allowInsertRow = false;           // INS inserts a row
  bool allowDeleteRow = false;           // DEL deletes the current row
  bool advanceOnEnter = false;           // Enter moves to the next cell, left to right
  bool advanceInsert = false;            // Enter in the last cell of the last row appends a row
  bool allowClipboardShortCuts = false;  // Ctrl+C, Ctrl+X, Ctrl+V and the Insert/Delete forms
  bool allowSmartClipboard = false;      // a paste is widened into a fill or a series
};

// Every key on; and the read-times table, which leaves them all to the view's defaults.
GridNavigation RunnerSheetNavigation();
GridNavigation ReadTimesNavigation();

enum class GridKeyAction { None, InsertRow, DeleteRow, AdvanceOnEnter, Copy, Cut, Paste };

// Ctrl+C and Ctrl+Insert copy, Ctrl+X and Shift+Delete cut, Ctrl+V and Shift+Insert paste;
// INS without Ctrl, Shift or Alt inserts a row; DEL without Shift or Alt deletes one; Enter
// without Ctrl or Alt moves on. Keys that the settings switch off, and INS, DEL and the
// clipboard keys while a cell is edited, give None.
GridKeyAction GridKeyActionFor(const GridKeyEvent& event, const GridNavigation& navigation);

class GridKeyHandler {
 public:
  // `table` and `clipboard` must outlive the handler.
  GridKeyHandler(TGridTable& table, const GridNavigation& navigation, TextClipboard& clipboard);

  void SetInsertedRowNotice(InsertedRowNotice notice) { notice_ = std::move(notice); }
  // floatDecimals and defaultYear of a paste; `widen` follows allowSmartClipboard.
  void SetPasteOptions(const PasteOptions& options) { paste_ = options; }
  const GridNavigation& Navigation() const { return navigation_; }

  // Carries out the key's action on the table and returns true, or returns false when the
  // key is not one of this handler's. After INS, DEL and Enter `selection` is the new current
  // cell; Copy, Cut and Paste leave it as it was.
  bool HandleKey(const GridKeyEvent& event, GridSelection& selection);

 private:
  TGridTable& table_;
  GridNavigation navigation_;
  TextClipboard& clipboard_;
  InsertedRowNotice notice_;
  PasteOptions paste_;
};

}  // namespace ln40
