#include <QGuiApplication>
#include <gtest/gtest.h>

namespace {

// Data objects measure text and draw with QPainter, which need a GUI
// application; the offscreen platform needs no display.
class QtGuiEnvironment : public ::testing::Environment {
public:
  void SetUp() override {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "pt_tests";
    static char *argv[] = {name, nullptr};
    fApp = new QGuiApplication(argc, argv);
  }
  void TearDown() override { delete fApp; }

private:
  QGuiApplication *fApp = nullptr;
};

const auto *const kEnvironment = ::testing::AddGlobalTestEnvironment(new QtGuiEnvironment);

} // namespace
