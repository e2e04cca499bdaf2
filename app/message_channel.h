// Messages for the user as message boxes on the user-interface thread.
#pragma once

#include "foundation/user_channel.h"

namespace vorsa::app {

class MessageBoxChannel : public UserChannel {
 public:
  // `autoClose`: every box closes itself at once (the start-and-quit mode
  // that tests run); the text still goes to stderr.
  explicit MessageBoxChannel(bool autoClose) : autoClose_(autoClose) {}
  void ShowMessage(const std::string& text) override;

 private:
  bool autoClose_;
};

}  // namespace vorsa::app
