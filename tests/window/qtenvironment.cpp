#include "pipeline/dataobjectqueue.h"
#include "pipeline/dataobjectregistry.h"

#include <QApplication>
#include <gtest/gtest.h>

namespace {

class QtWidgetsEnvironment : public ::testing::Environment {
public:
  void SetUp() override {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
      qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("PT_DATA_DIR", PT_DATA_FILES_DIR);
    static int argc = 1;
    static char name[] = "pt_tests_window";
    static char *argv[] = {name, nullptr};
    fApp = new QApplication(argc, argv);
    VexlinDataObjects_Initialize();
    RegisterVexlinDataObjectClasses();
  }
  void TearDown() override {
    VexlinDataObjects_Finalize();
    delete fApp;
  }

private:
  QApplication *fApp = nullptr;
};

const auto *const kEnvironment = ::testing::AddGlobalTestEnvironment(new QtWidgetsEnvironment);

} // namespace
