#include "pipeline/dataobjectqueue.h"
#include "pipeline/dataobjectregistry.h"
#include "qttestenvironment.h"

#include <QApplication>

namespace {

// The real window: its data files from the source tree, the queue and the
// kinds of rows set up as the program does at start.
class QtWindowEnvironment : public TQtTestEnvironment<QApplication> {
public:
  void SetUp() override {
    qputenv("PT_DATA_DIR", PT_DATA_FILES_DIR);
    TQtTestEnvironment::SetUp();
    VexlinDataObjects_Initialize();
    RegisterVexlinDataObjectClasses();
  }
  void TearDown() override {
    VexlinDataObjects_Finalize();
    TQtTestEnvironment::TearDown();
  }
};

const auto *const kEnvironment = ::testing::AddGlobalTestEnvironment(new QtWindowEnvironment);

} // namespace
