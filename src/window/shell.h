// The desktop shell: opens a path with the application the desktop associates with it.
#pragma once

#include <memory>
#include <string_view>

namespace webapitest {

class Shell {
 public:
  virtual ~Shell() = default;
  // Hands the path, as typed, to the desktop and returns at once; what the desktop does with
  // a missing or odd path is up to it. Throws when the desktop cannot be asked at all.
  virtual void Open(std::u16string_view path) = 0;
};

// Creates the platform's shell object; throws std::runtime_error when it cannot.
std::unique_ptr<Shell> CreateShell();

}  // namespace webapitest
