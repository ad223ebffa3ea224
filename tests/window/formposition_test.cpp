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

TEST(FormPosition, SavedRectanglesAreFittedToTheirScreen) {
  const QList<QRect> areas = {QRect(0, 0, 1920, 1040), QRect(1920, 0, 1280, 1024)};
  struct Case {
    QRect window;
    QRect expected;
  } cases[] = {
      {QRect(100, 100, 800, 600), QRect(100, 100, 800, 600)},      // fits
      {QRect(0, 0, 32767, 32767), QRect(0, 0, 1920, 1040)},        // larger than the screen
      {QRect(2000, 10, 5000, 300), QRect(1920, 10, 1280, 300)},    // too wide for the second
      {QRect(1500, 900, 800, 600), QRect(1120, 440, 800, 600)},    // hangs over the edges
      {QRect(-40000, -40000, 800, 600), QRect(0, 0, 800, 600)},    // far off to the left
      {QRect(40000, 100, 2000, 2000), QRect(1920, 0, 1280, 1024)}, // far off to the right
  };
  for (const Case &c : cases)
    EXPECT_EQ(FittedFormRect(c.window, areas), c.expected) << c.window.x() << "," << c.window.y();
  EXPECT_EQ(FittedFormRect(QRect(5, 5, 10, 10), {}), QRect(5, 5, 10, 10));
}

} // namespace
