// The start-up sequence of the program up to its main window, and the
// shutdown after it; the desktop program and the command line share it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <thread>

#include "foundation/config.h"
#include "foundation/single_instance.h"

namespace vorsa {

struct StartupSettings {
  ConfigSource config;
  std::string version;  // the program's version text
  uint32_t build = 0;
};

enum class StartupOutcome { kReady, kAlreadyRunning };

class AppStartup {
 public:
  AppStartup() = default;
  ~AppStartup();
  AppStartup(const AppStartup&) = delete;
  AppStartup& operator=(const AppStartup&) = delete;

  // Locale, identity, crash handler, event sender, configuration, single
  // instance, stored values, the start-up report. A configuration that cannot
  // be loaded is told to the user in their language and ends the process
  // (FatalError). A second instance is told "SoftRunning" and gets
  // kAlreadyRunning; the caller then leaves.
  StartupOutcome Run(const StartupSettings& settings);

  // After the main window: release the instance, report the end and send
  // what is still queued.
  void Finish();

  bool joinImproveSoft() const { return joinImproveSoft_; }
  const std::string& detail() const { return detail_; }

 private:
  std::unique_ptr<InstanceLock> instance_;
  std::thread startupThread_;
  bool joinImproveSoft_ = false;
  std::string detail_ = "0";
  bool running_ = false;
};

// The fixed message shown when the configuration cannot be loaded, in the
// user's language.
std::string ConfigFailureMessage();

}  // namespace vorsa
