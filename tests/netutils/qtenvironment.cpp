#include "qttestenvironment.h"

#include <QGuiApplication>

// The rows draw themselves and copy to the clipboard: a GUI application.
namespace {
const auto *const kEnvironment =
    ::testing::AddGlobalTestEnvironment(new TQtTestEnvironment<QGuiApplication>);
} // namespace
