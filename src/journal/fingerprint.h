#pragma once
// A 64-bit fingerprint of a file's bytes, to recognise an autosave file the journal has
// recorded. 64-bit FNV-1a: the same on every run and every machine. Not a protection against
// deliberate forgery.
#include <cstdint>
#include <string_view>

namespace ln40 {

std::uint64_t Fingerprint(std::string_view bytes);

}  // namespace ln40
