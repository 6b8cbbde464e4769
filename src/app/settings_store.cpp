#include "app/settings_store.h"

#include <variant>

#include "text/error.h"

namespace ln40 {
namespace {

// A stored value and the option it holds: a check box stored as 0 or 1, or a text.
struct StoredOption {
  const char* name;
  std::variant<bool StationOptions::*, std::string StationOptions::*> field;
};

// The ten values in the order they are read and written.
const StoredOption kStoredOptions[] = {
    {"cbtidel", &StationOptions::keepMilliseconds}, {"cbautosave", &StationOptions::autosave},
    {"cbclear", &StationOptions::clearOnOpen},      {"cbchronex", &StationOptions::chronexLog},
    {"cbbfg", &StationOptions::bfgLog},             {"MaskEditEx1", &StationOptions::nulltime},
    {"Edit3", &StationOptions::raceName},           {"Edit2", &StationOptions::subName},
    {"cbtrim", &StationOptions::removeLeadingZeros}, {"cbinsert", &StationOptions::insertUnknownRunners},
};

Error FailedToSet(const char* name) { return Error(std::string("Failed to set data for '") + name + "'"); }

}  // namespace

void LoadSettings(TSettingsFile& store, StationOptions& options) {
  store.Open();  // a store that cannot be opened makes the first read fail
  for (const StoredOption& value : kStoredOptions) {
    if (const auto* box = std::get_if<bool StationOptions::*>(&value.field)) {
      const auto stored = store.ReadInteger(value.name);
      if (!stored) return;
      options.*(*box) = *stored != 0;
    } else {
      if (store.HasInteger(value.name)) return;
      options.*std::get<std::string StationOptions::*>(value.field) = store.ReadText(value.name).value_or("");
    }
  }
}

void SaveSettings(TSettingsFile& store, const StationOptions& options) {
  // Other values of the store (the mail address) are kept as the file holds them now; a
  // store that cannot be read is not overwritten.
  if (!store.Open()) throw FailedToSet(kStoredOptions[0].name);
  for (const StoredOption& value : kStoredOptions) {
    if (const auto* box = std::get_if<bool StationOptions::*>(&value.field)) {
      store.WriteInteger(value.name, options.*(*box) ? 1 : 0);
    } else {
      store.WriteText(value.name, options.*std::get<std::string StationOptions::*>(value.field));
    }
  }
  try {
    store.Save();
  } catch (const Error&) {
    // The file is written whole or not at all, so the first value is the one that failed.
    throw FailedToSet(kStoredOptions[0].name);
  }
}

std::string ReadMailAddress(TSettingsFile& store) {
  store.Open();
  return store.ReadText(kMailAddressValue).value_or("");
}

void WriteMailAddress(TSettingsFile& store, const std::string& address) {
  if (!store.Open()) throw FailedToSet(kMailAddressValue);
  store.WriteText(kMailAddressValue, address);
  try {
    store.Save();
  } catch (const Error&) {
    throw FailedToSet(kMailAddressValue);
  }
}

int ReadGridZoom(TSettingsFile& store) {
  store.Open();
  const auto stored = store.ReadInteger(kGridZoomValue);
  if (!stored || *stored < kMinGridZoom || *stored > kMaxGridZoom) return 100;
  return *stored;
}

void WriteGridZoom(TSettingsFile& store, int percent) {
  if (!store.Open()) throw FailedToSet(kGridZoomValue);
  store.WriteInteger(kGridZoomValue, percent);
  try {
    store.Save();
  } catch (const Error&) {
    throw FailedToSet(kGridZoomValue);
  }
}

}  // namespace ln40
