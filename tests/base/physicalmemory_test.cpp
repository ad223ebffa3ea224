#include "base/physicalmemory.h"

#include <QFile>
#include <QRegularExpression>
#include <gtest/gtest.h>

namespace {

// At least the kernel's count of usable memory (a container's view of
// /proc/meminfo may be smaller than the machine), so counted in bytes, not in
// pages or kB.
TEST(PhysicalMemory, IsAtLeastWhatTheKernelReports) {
  QFile meminfo(QStringLiteral("/proc/meminfo"));
  if (!meminfo.open(QIODevice::ReadOnly))
    GTEST_SKIP() << "no /proc/meminfo";
  const QRegularExpressionMatch total = QRegularExpression(QStringLiteral("MemTotal:\\s+(\\d+) kB"))
                                            .match(QString::fromLatin1(meminfo.readAll()));
  ASSERT_TRUE(total.hasMatch());
  const uint64_t kernel = total.captured(1).toULongLong() * 1024;
  const uint64_t bytes = PhysicalMemoryBytes();
  EXPECT_GE(bytes + 64 * 1024, kernel);
}

} // namespace
