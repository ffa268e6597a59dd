// Test main for the window tests: one QApplication for the whole program,
// as the real program has.
#include <gtest/gtest.h>

#include <QApplication>

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  QApplication app(argc, argv);
  Q_INIT_RESOURCE(resources);
  QApplication::setApplicationName("Vistrune Z");
  return RUN_ALL_TESTS();
}
