#pragma once
// The window's port list, timers and status field as plain values.
#include <string>
#include <vector>

#include "link/reader_discovery.h"

namespace ln40::testing {

class FakeControls : public LinkControls {
 public:
  std::vector<std::string> entries;
  int selected = -1;
  bool retry = false;
  bool watch = false;
  std::string status = "?";
  int lamp_hidden = 0;

  void ClearPortList() override {
    entries.clear();
    selected = -1;
  }
  void AddPortListEntry(const std::string& text) override { entries.push_back(text); }
  int PortListCount() const override { return static_cast<int>(entries.size()); }
  std::string PortListEntry(int index) const override { return entries.at(index); }
  int SelectedPortListEntry() const override { return selected; }
  void SelectPortListEntry(int index) override { selected = index; }
  void SetRetryTimerEnabled(bool enabled) override { retry = enabled; }
  void SetWatchTimerEnabled(bool enabled) override { watch = enabled; }
  std::string TimeStatus() const override { return status; }
  void SetTimeStatus(const std::string& text) override { status = text; }
  void HideActivityLamp() override { ++lamp_hidden; }
};

}  // namespace ln40::testing
