// A user channel that writes down everything the engine tells the user, in
// order: "message TEXT", "ask QUESTION", "notify NUMBER".
#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "foundation/user_channel.h"

namespace vorsa::test {

class RecordingChannel : public UserChannel {
 public:
  void ShowMessage(const std::string& text) override { Add("message " + text); }
  bool Ask(const std::string& question) override {
    Add("ask " + question);
    return answer;
  }
  void Notify(uint32_t message, uint64_t, uint64_t) override { Add("notify " + std::to_string(message)); }

  void Add(const std::string& line) {
    std::lock_guard hold(lock_);
    log_.push_back(line);
  }
  std::vector<std::string> log() {
    std::lock_guard hold(lock_);
    return log_;
  }

  bool answer = false;  // to every question

 private:
  std::mutex lock_;
  std::vector<std::string> log_;
};

}  // namespace vorsa::test
