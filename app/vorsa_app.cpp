#include "app/vorsa_app.h"

#include <QMainWindow>
#include <QStringList>
#include <QTimer>
#include <cstdio>

#include "foundation/config.h"
#include "foundation/paths.h"
#include "foundation/process.h"
#include "tools/shipped_package.h"

namespace vorsa::app {
namespace {

bool HasArgument(int argc, char** argv, const char* wanted) {
  for (int i = 1; i < argc; ++i)
    if (QString::fromLocal8Bit(argv[i]) == QLatin1String(wanted)) return true;
  return false;
}

}  // namespace

CUVorsaApp::CUVorsaApp(int& argc, char** argv)
    : QApplication(argc, argv),
      quitAfterStart_(HasArgument(argc, argv, "--quit-after-start")),
      channel_(quitAfterStart_) {}

int CUVorsaApp::Run() {
  InstallMessageChannel(&channel_);
  const StartupSettings settings{
      .config = ConfigSource{FindShippedFolder("Base.dat"), kShippedPackageDigest},
      .version = kProgramVersion,
      .build = kBuildNumber,
  };
  if (startup_.Run(settings) == StartupOutcome::kAlreadyRunning) {
    InstallMessageChannel(nullptr);
    return 1;
  }

  // The main window of the user interface comes here; until then a plain
  // window carries the product's name.
  QMainWindow window;
  window.setWindowTitle(QString::fromStdString(GetSoftCfg("LocalName")));
  window.resize(900, 620);
  window.show();
  if (quitAfterStart_) {
    std::printf("vorsa: main window \"%s\"\n", window.windowTitle().toStdString().c_str());
    std::fflush(stdout);
    QTimer::singleShot(0, &window, &QMainWindow::close);
  }
  const int status = exec();

  startup_.Finish();
  InstallMessageChannel(nullptr);
  return status;
}

}  // namespace vorsa::app
