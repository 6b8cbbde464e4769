#pragma once
// The station's options survive a restart: they are loaded each time the window's start-up
// routine runs and saved when the window closes. One more value, the mail address, is kept
// for the mail command. This is the one place that knows the names the values are stored
// under; the file and its names are those of every earlier version.
#include <string>

#include "app/settings_file.h"
#include "timing/station_options.h"

namespace ln40 {

inline constexpr const char* kMailAddressValue = "tomail";
inline constexpr const char* kGridZoomValue = "GridZoom";

// Reads the ten stored values into `options`, in their stored order. A boolean that is
// missing or stored as a text, or a text stored as an integer, ends the load there without
// a message (the options after it keep what they held); a missing text reads as empty.
void LoadSettings(TSettingsFile& store, StationOptions& options);

// Writes the ten values. When the store cannot be written nothing is written and
// Error("Failed to set data for 'cbtidel'") is thrown.
void SaveSettings(TSettingsFile& store, const StationOptions& options);

// The mail prompt's default (empty when never stored) and the confirmed address.
std::string ReadMailAddress(TSettingsFile& store);
void WriteMailAddress(TSettingsFile& store, const std::string& address);

// The grids' zoom in percent of the desktop font, kept apart from the station's options so
// that a change is kept at once. 100 when never stored, stored as a text, or outside
// kMinGridZoom..kMaxGridZoom.
inline constexpr int kMinGridZoom = 50;
inline constexpr int kMaxGridZoom = 400;
int ReadGridZoom(TSettingsFile& store);
// Throws Error("Failed to set data for 'GridZoom'") when the store cannot be written.
void WriteGridZoom(TSettingsFile& store, int percent);

}  // namespace ln40
