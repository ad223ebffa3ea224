#include "qttestenvironment.h"

namespace {

// The connections need an application object for the UI thread's event
// loop. The start query of every UDP connection goes to loopback.
class QtCoreEnvironment : public TQtTestEnvironment<QCoreApplication> {
public:
  void SetUp() override {
    qputenv("PT_DISCOVERY_ADDRESS", "127.0.0.1");
    qputenv("PT_DISCOVERY_PORT", "30718");
    TQtTestEnvironment::SetUp();
  }
};

const auto *const kEnvironment = ::testing::AddGlobalTestEnvironment(new QtCoreEnvironment);

} // namespace
