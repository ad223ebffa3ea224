#include <QCoreApplication>
#include <gtest/gtest.h>

namespace {

// The connections need an application object for the UI thread's event
// loop. The start query of every UDP connection goes to loopback.
class QtCoreEnvironment : public ::testing::Environment {
public:
  void SetUp() override {
    qputenv("PT_DISCOVERY_ADDRESS", "127.0.0.1");
    qputenv("PT_DISCOVERY_PORT", "30718");
    static int argc = 1;
    static char name[] = "pt_tests_connections";
    static char *argv[] = {name, nullptr};
    fApp = new QCoreApplication(argc, argv);
  }
  void TearDown() override { delete fApp; }

private:
  QCoreApplication *fApp = nullptr;
};

const auto *const kEnvironment = ::testing::AddGlobalTestEnvironment(new QtCoreEnvironment);

} // namespace
