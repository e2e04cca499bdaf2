// How the engine reaches the person using it. The desktop program answers
// with windows, the command line with its terminal, tests with a recorder.
#pragma once

#include <cstdint>
#include <string>

namespace vorsa {

// Numbered messages from workers to the windows.
enum UserMessage : uint32_t {
  kMsgPostProcessBegins = 1126,  // a finished scan's results are being built
  kMsgPostProcessEnds = 1127,    // they are ready: show the results
  kMsgFirstFilesFound = 1128,    // the first found files can be shown while the scan runs
  // Changes of the result set, to the windows registered with it.
  kMsgOpenFolder = 1224,         // show this folder's content
  kMsgCheckStatesChanged = 1225,
  kMsgResultsRebuilt = 1226,
  kMsgSearchResultReady = 1228,
  kMsgCatalogueAdded = 1229,
  kMsgFoundFilesGrew = 1230,
  kMsgNodeRenamed = 1231,
  kMsgThumbnailReady = 1233,
};

class UserChannel {
 public:
  virtual ~UserChannel() = default;
  // A message box: the user reads it and dismisses it.
  virtual void ShowMessage(const std::string& text) = 0;
  // A yes-or-no question; a channel with nobody to ask answers no.
  virtual bool Ask(const std::string& /*question*/) { return false; }
  // Delivers a numbered message and returns once it has been handled.
  virtual void Notify(uint32_t /*message*/, uint64_t /*wParam*/, uint64_t /*lParam*/) {}
  // Delivers a numbered message without waiting for it to be handled; a
  // channel that has no queue of its own handles it at once.
  virtual void Post(uint32_t message, uint64_t wParam, uint64_t lParam) { Notify(message, wParam, lParam); }
};

}  // namespace vorsa
