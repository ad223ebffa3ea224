#include "qttestenvironment.h"

namespace {

// The port component delivers its events through the UI thread's event loop.
const auto *const kEnvironment =
    ::testing::AddGlobalTestEnvironment(new TQtTestEnvironment<QCoreApplication>);

} // namespace
