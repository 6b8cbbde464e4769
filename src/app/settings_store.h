#pragma once
// The options of the main window and three of its fields survive a restart: they are
// loaded each time the start-up routine runs and saved when the window closes. One more
// value, the mail address, is kept for the mail command.
#include <string>

#include "app/settings_file.h"

namespace ln40 {

// The window's controls as the store sees them, by value name. Setting a box to a state it
// does not have yet runs that box's own rule, as a click would.
class SettingsControls {
 public:
  virtual ~SettingsControls() = default;
  virtual bool IsChecked(const std::string& box) const = 0;
  virtual void SetChecked(const std::string& box, bool checked) = 0;
  virtual std::string FieldText(const std::string& field) const = 0;
  virtual void SetFieldText(const std::string& field, const std::string& text) = 0;
};

struct SettingValue {
  const char* name;
  bool boolean;  // a check box stored as 0 or 1; otherwise a text field
};

// The ten values in the order they are read and written.
inline constexpr SettingValue kSettingValues[] = {
    {"cbtidel", true},      {"cbautosave", true}, {"cbclear", true}, {"cbchronex", true}, {"cbbfg", true},
    {"MaskEditEx1", false}, {"Edit3", false},     {"Edit2", false},  {"cbtrim", true},    {"cbinsert", true},
};

inline constexpr const char* kMailAddressValue = "tomail";

// Sets the values into their controls in order. A boolean that is missing or stored as a
// text, or a text stored as an integer, ends the load there without a message; a missing
// text sets its field to the empty text.
void LoadSettings(TSettingsFile& store, SettingsControls& controls);

// Writes the ten values from the controls. When the store cannot be written nothing is
// written and Error("Failed to set data for 'cbtidel'") is thrown.
void SaveSettings(TSettingsFile& store, const SettingsControls& controls);

// The mail prompt's default (empty when never stored) and the confirmed address.
std::string ReadMailAddress(TSettingsFile& store);
void WriteMailAddress(TSettingsFile& store, const std::string& address);

// The window's options with their defaults, for front ends that keep them as plain values.
struct WindowOptions : SettingsControls {
  bool cbtidel = false;     // "Keep milliseconds"
  bool cbautosave = true;   // "Autosave"
  bool cbclear = false;     // "Clear data "
  bool cbchronex = true;    // "Chronex log"
  bool cbbfg = true;        // "BFG log"
  std::string MaskEditEx1 = "00:00:00";  // "Reader nulltime"
  std::string Edit3 = "Test race";       // "Race name"
  std::string Edit2 = "10.10.04";        // "Sub name"
  bool cbtrim = true;       // "Remove leading 0"
  bool cbinsert = true;     // "Insert unknown #"

  bool IsChecked(const std::string& box) const override;
  void SetChecked(const std::string& box, bool checked) override;
  std::string FieldText(const std::string& field) const override;
  void SetFieldText(const std::string& field, const std::string& text) override;

 private:
  bool* Box(const std::string& name);
  std::string* Field(const std::string& name);
};

}  // namespace ln40
