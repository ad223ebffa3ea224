#include "app/formposition.h"

#include <gtest/gtest.h>

namespace {

TEST(FormPosition, WindowsOffTheMonitorsArePulledBackKeepingTheirSize) {
  const QList<QRect> areas = {QRect(0, 0, 1920, 1040), QRect(1920, 0, 1280, 1024)};
  struct Case {
    QRect window;
    QPoint expected;
  } cases[] = {
      {QRect(100, 100, 800, 600), {100, 100}},        // on the first monitor
      {QRect(2000, 500, 800, 600), {2000, 500}},      // on the second
      {QRect(3300, 100, 800, 600), {3199 - 20, 100}}, // right of everything
      {QRect(-500, -300, 800, 600), {0, 0}},          // left of and above the first
      {QRect(500, 1200, 800, 600), {500, 1039 - 20}}, // below the first
  };
  for (const Case &c : cases) {
    const QRect r = CorrectedFormRect(c.window, areas);
    EXPECT_EQ(r.topLeft(), c.expected) << c.window.x() << "," << c.window.y();
    EXPECT_EQ(r.size(), c.window.size());
  }
  EXPECT_EQ(CorrectedFormRect(QRect(5, 5, 10, 10), {}), QRect(5, 5, 10, 10));
}

} // namespace
