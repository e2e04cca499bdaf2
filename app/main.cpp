// vorsa: the desktop program. "--quit-after-start" runs the start-up, opens
// the main window and closes it again at once.
#include "app/vorsa_app.h"

int main(int argc, char** argv) {
  vorsa::app::CUVorsaApp app(argc, argv);
  return app.Run();
}
