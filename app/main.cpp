// The program entry: the walk of the program folder first, then the main
// window (its creation takes the walk in and fills the lists), then the
// other windows hidden, then the message loop.
#include <QApplication>
#include <QIcon>
#include <memory>
#include <utility>

#include "info_windows/Unit2.h"
#include "info_windows/Unit3.h"
#include "library/startup_walk.h"
#include "main_window/Unit1.h"
#include "platform/memory.h"
#include "platform/paths.h"
#include "settings_window/Unit4.h"

int main(int, char** argv) {
  vistrune::platform::KeepLittleFreeMemory();
  // The walk begins before Qt starts (which, connecting to the display,
  // takes a while): the folders are being read meanwhile.
  auto walk = std::make_unique<vistrune::StartupWalk>(vistrune::platform::ExecutablePath());
  // The program reads no command-line options: Qt is given the program's
  // own name and nothing else.
  int qtArgc = 1;
  char* qtArgv[] = {argv[0], nullptr};
  QApplication app(qtArgc, qtArgv);
  Q_INIT_RESOURCE(resources);
  QApplication::setApplicationName(QStringLiteral("Vistrune Z"));
  QApplication::setWindowIcon(QIcon(QStringLiteral(":/emblem.png")));

  Form1 = new TForm1(std::move(walk));
  Form2 = new TForm2(Form1);
  AboutBox = new TAboutBox(Form1);
  Form4 = new TForm4(Form1);
  Form1->show();
  const int result = QApplication::exec();
  delete Form1;
  return result;
}
