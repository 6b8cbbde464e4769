#pragma once
// The one exception type of the system: an error that carries the text shown to the user.
#include <stdexcept>
#include <string>

namespace ln40 {

class Error : public std::runtime_error {
 public:
  explicit Error(const std::string& message) : std::runtime_error(message) {}
};

}  // namespace ln40
