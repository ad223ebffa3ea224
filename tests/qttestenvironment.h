#pragma once

// The Qt application object a test folder needs (QCoreApplication for
// sockets, QGuiApplication for painting, QApplication for widgets), made
// once per test executable on the offscreen platform. The start query of
// every UDP connection goes to loopback, never to the local network, and
// the user's saved settings are neither read nor touched.

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>

template <class TApp> class TQtTestEnvironment : public ::testing::Environment {
public:
  void SetUp() override {
    qputenv("PT_DISCOVERY_ADDRESS", "127.0.0.1");
    qputenv("PT_DISCOVERY_PORT", "30718");
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(fConfigDir.path()));
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
      qputenv("QT_QPA_PLATFORM", "offscreen");
    if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR")) {
      fRuntimeDir = std::make_unique<QTemporaryDir>();
      qputenv("XDG_RUNTIME_DIR", QFile::encodeName(fRuntimeDir->path()));
    }
    if (QCoreApplication::instance())
      return;
    static int argc = 1;
    static char name[] = "pt_tests";
    static char *argv[] = {name, nullptr};
    fApp = std::make_unique<TApp>(argc, argv);
  }
  void TearDown() override { fApp.reset(); }

private:
  QTemporaryDir fConfigDir;
  std::unique_ptr<QTemporaryDir> fRuntimeDir;
  std::unique_ptr<TApp> fApp;
};
