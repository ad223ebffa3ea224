#include <QApplication>
#include <gtest/gtest.h>

namespace {

// The list is a widget: a QApplication on the offscreen platform.
class QtWidgetsEnvironment : public ::testing::Environment {
public:
  void SetUp() override {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "pt_tests_view";
    static char *argv[] = {name, nullptr};
    fApp = new QApplication(argc, argv);
  }
  void TearDown() override { delete fApp; }

private:
  QApplication *fApp = nullptr;
};

const auto *const kEnvironment = ::testing::AddGlobalTestEnvironment(new QtWidgetsEnvironment);

} // namespace
