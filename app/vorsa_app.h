// The application object: the start-up sequence, the main window, the
// shutdown.
#pragma once

#include <QApplication>

#include "app/message_channel.h"
#include "foundation/startup.h"

namespace vorsa::app {

class CUVorsaApp : public QApplication {
 public:
  CUVorsaApp(int& argc, char** argv);
  // Runs the program; returns its exit status.
  int Run();

 private:
  bool quitAfterStart_ = false;
  MessageBoxChannel channel_;
  AppStartup startup_;
};

}  // namespace vorsa::app
