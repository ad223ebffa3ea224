#include "qttestenvironment.h"

#include <QApplication>

namespace {
const auto *const kEnvironment =
    ::testing::AddGlobalTestEnvironment(new TQtTestEnvironment<QApplication>);
} // namespace
