#include "qttestenvironment.h"

namespace {

// The connections need an application object for the UI thread's event loop.
const auto *const kEnvironment =
    ::testing::AddGlobalTestEnvironment(new TQtTestEnvironment<QCoreApplication>);

} // namespace
