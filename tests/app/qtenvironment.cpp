#include "app/qtwidgetsenvironment.h"

namespace {
const auto *const kEnvironment = ::testing::AddGlobalTestEnvironment(new QtWidgetsEnvironment);
} // namespace
