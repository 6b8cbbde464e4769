#include "app/settings_store.h"

#include "text/error.h"

namespace ln40 {

void LoadSettings(TSettingsFile& store, SettingsControls& controls) {
  store.Open();  // a store that cannot be opened makes the first read fail
  for (const SettingValue& value : kSettingValues) {
    if (value.boolean) {
      const auto stored = store.ReadInteger(value.name);
      if (!stored) return;
      controls.SetChecked(value.name, *stored != 0);
    } else {
      if (store.HasInteger(value.name)) return;
      controls.SetFieldText(value.name, store.ReadText(value.name).value_or(""));
    }
  }
}

void SaveSettings(TSettingsFile& store, const SettingsControls& controls) {
  // Other values of the store (the mail address) are kept as the file holds them now; a
  // store that cannot be read is not overwritten.
  if (!store.Open()) throw Error(std::string("Failed to set data for '") + kSettingValues[0].name + "'");
  for (const SettingValue& value : kSettingValues) {
    if (value.boolean) {
      store.WriteInteger(value.name, controls.IsChecked(value.name) ? 1 : 0);
    } else {
      store.WriteText(value.name, controls.FieldText(value.name));
    }
  }
  try {
    store.Save();
  } catch (const Error&) {
    // The file is written whole or not at all, so the first value is the one that failed.
    throw Error(std::string("Failed to set data for '") + kSettingValues[0].name + "'");
  }
}

std::string ReadMailAddress(TSettingsFile& store) {
  store.Open();
  return store.ReadText(kMailAddressValue).value_or("");
}

void WriteMailAddress(TSettingsFile& store, const std::string& address) {
  if (!store.Open()) throw Error(std::string("Failed to set data for '") + kMailAddressValue + "'");
  store.WriteText(kMailAddressValue, address);
  try {
    store.Save();
  } catch (const Error&) {
    throw Error(std::string("Failed to set data for '") + kMailAddressValue + "'");
  }
}

bool* WindowOptions::Box(const std::string& name) {
  if (name == "cbtidel") return &cbtidel;
  if (name == "cbautosave") return &cbautosave;
  if (name == "cbclear") return &cbclear;
  if (name == "cbchronex") return &cbchronex;
  if (name == "cbbfg") return &cbbfg;
  if (name == "cbtrim") return &cbtrim;
  if (name == "cbinsert") return &cbinsert;
  return nullptr;
}

std::string* WindowOptions::Field(const std::string& name) {
  if (name == "MaskEditEx1") return &MaskEditEx1;
  if (name == "Edit3") return &Edit3;
  if (name == "Edit2") return &Edit2;
  return nullptr;
}

bool WindowOptions::IsChecked(const std::string& box) const {
  const bool* value = const_cast<WindowOptions*>(this)->Box(box);
  return value && *value;
}

void WindowOptions::SetChecked(const std::string& box, bool checked) {
  if (bool* value = Box(box)) *value = checked;
}

std::string WindowOptions::FieldText(const std::string& field) const {
  const std::string* value = const_cast<WindowOptions*>(this)->Field(field);
  return value ? *value : std::string();
}

void WindowOptions::SetFieldText(const std::string& field, const std::string& text) {
  if (std::string* value = Field(field)) *value = text;
}

}  // namespace ln40
