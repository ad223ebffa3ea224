#include "qttestenvironment.h"

#include <QCoreApplication>

// The helpers need nothing beyond Qt Core.
namespace {
const auto *const kEnvironment =
    ::testing::AddGlobalTestEnvironment(new TQtTestEnvironment<QCoreApplication>);
} // namespace
