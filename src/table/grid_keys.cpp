#include "table/grid_keys.h"

#include <utility>

#include "table/clipboard_text.h"

namespace ln40 {

GridNavigation RunnerSheetNavigation() {
  GridNavigation navigation;
  navigation.allowInsertRow = true;
  navigation.allowDeleteRow = true;
  navigation.advanceOnEnter = true;
  navigation.advanceInsert = true;
  navigation.allowClipboardShortCuts = true;
  navigation.allowSmartClipboard = true;
  return navigation;
}

GridNavigation ReadTimesNavigation() { return GridNavigation{}; }

GridKeyAction GridKeyActionFor(const GridKeyEvent& e, const GridNavigation& navigation) {
  const bool clipboard = navigation.allowClipboardShortCuts && !e.editing;
  const bool ctrl_only = e.ctrl && !e.shift && !e.alt;
  const bool shift_only = e.shift && !e.ctrl && !e.alt;
  switch (e.key) {
    case GridKey::C:
      return clipboard && ctrl_only ? GridKeyAction::Copy : GridKeyAction::None;
    case GridKey::X:
      return clipboard && ctrl_only ? GridKeyAction::Cut : GridKeyAction::None;
    case GridKey::V:
      return clipboard && ctrl_only ? GridKeyAction::Paste : GridKeyAction::None;
    case GridKey::Insert:
      if (ctrl_only) return clipboard ? GridKeyAction::Copy : GridKeyAction::None;
      if (shift_only) return clipboard ? GridKeyAction::Paste : GridKeyAction::None;
      if (e.ctrl || e.shift || e.alt || e.editing || !navigation.allowInsertRow) return GridKeyAction::None;
      return GridKeyAction::InsertRow;
    case GridKey::Delete:
      if (shift_only) return clipboard ? GridKeyAction::Cut : GridKeyAction::None;
      if (e.shift || e.alt || e.editing || !navigation.allowDeleteRow) return GridKeyAction::None;
      return GridKeyAction::DeleteRow;
    case GridKey::Enter:
      if (e.ctrl || e.alt || !navigation.advanceOnEnter) return GridKeyAction::None;
      return GridKeyAction::AdvanceOnEnter;
    case GridKey::Other:
      break;
  }
  return GridKeyAction::None;
}

GridKeyHandler::GridKeyHandler(TGridTable& table, const GridNavigation& navigation, TextClipboard& clipboard)
    : table_(table), navigation_(navigation), clipboard_(clipboard) {}

bool GridKeyHandler::HandleKey(const GridKeyEvent& event, GridSelection& selection) {
  switch (GridKeyActionFor(event, navigation_)) {
    case GridKeyAction::None:
      return false;
    case GridKeyAction::InsertRow:
      InsertRowAtCurrent(table_, notice_);
      break;
    case GridKeyAction::DeleteRow:
      DeleteCurrentRow(table_);
      break;
    case GridKeyAction::AdvanceOnEnter:
      AdvanceOnEnter(table_, navigation_.advanceInsert);
      break;
    case GridKeyAction::Copy:
      clipboard_.SetText(CopySelectionText(table_, selection));
      return true;
    case GridKeyAction::Cut:
      clipboard_.SetText(CopySelectionText(table_, selection));
      ClearSelection(table_, selection);
      return true;
    case GridKeyAction::Paste: {
      PasteOptions options = paste_;
      options.widen = navigation_.allowSmartClipboard;
      PasteText(table_, selection, clipboard_.Text(), options);
      return true;
    }
  }
  selection = GridSelection::AtCell(table_.Col(), table_.Row());
  return true;
}

}  // namespace ln40
