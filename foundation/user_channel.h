// How the engine reaches the person using it. The desktop program answers
// with windows, the command line with its terminal, tests with a recorder.
#pragma once

#include <string>

namespace vorsa {

class UserChannel {
 public:
  virtual ~UserChannel() = default;
  // A message box: the user reads it and dismisses it.
  virtual void ShowMessage(const std::string& text) = 0;
};

}  // namespace vorsa
