#include "pipeline/dataobjectqueue.h"
#include "pipeline/dataobjectregistry.h"
#include "qttestenvironment.h"

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>

namespace {

// The real window: its data files from the source tree, the queue and the
// kinds of rows set up as the program does at start.
class QtWindowEnvironment : public TQtTestEnvironment<QApplication> {
public:
  void SetUp() override {
    qputenv("PT_DATA_DIR", PT_DATA_FILES_DIR);
    // The injection socket lives here: one folder per test process, so test
    // runs side by side never meet, nor a real window of the user.
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(fRuntime.path()));
    TQtTestEnvironment::SetUp();
    VexlinDataObjects_Initialize();
    RegisterVexlinDataObjectClasses();
  }
  void TearDown() override {
    VexlinDataObjects_Finalize();
    TQtTestEnvironment::TearDown();
  }

private:
  QTemporaryDir fRuntime; // private to the user, as the session's own
};

const auto *const kEnvironment = ::testing::AddGlobalTestEnvironment(new QtWindowEnvironment);

} // namespace
