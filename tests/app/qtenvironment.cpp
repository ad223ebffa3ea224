#include "qttestenvironment.h"

#include <QCoreApplication>

// "config.xml" is read and written without a window.
namespace {
const auto *const kEnvironment =
    ::testing::AddGlobalTestEnvironment(new TQtTestEnvironment<QCoreApplication>);
} // namespace
