#pragma once

// A QApplication for tests that drive real widgets on the offscreen
// platform. Each test folder that needs one registers it once.

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>

class QtWidgetsEnvironment : public ::testing::Environment {
public:
  void SetUp() override {
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
    fApp = std::make_unique<QApplication>(argc, argv);
  }
  void TearDown() override { fApp.reset(); }

private:
  std::unique_ptr<QTemporaryDir> fRuntimeDir;
  std::unique_ptr<QApplication> fApp;
};
