#include "qttestenvironment.h"

#include <QGuiApplication>

// Data objects measure text and draw with QPainter, which need a GUI
// application.
namespace {
const auto *const kEnvironment =
    ::testing::AddGlobalTestEnvironment(new TQtTestEnvironment<QGuiApplication>);
} // namespace
