#include "widgets/endis.h"
#include "widgets/numedit.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <gtest/gtest.h>

namespace {

TEST(EnDis, SwitchesWidgetsAndInputBackgrounds) {
  QWidget parent;
  auto *line = new QLineEdit(&parent);
  auto *combo = new QComboBox(&parent);
  auto *spin = new QSpinBox(&parent);
  auto *number = new TIntEdit(&parent);
  auto *button = new QPushButton(&parent);
  const QList<QWidget *> inputs{line, combo, spin, number};
  const QColor buttonBase = button->palette().color(QPalette::Active, QPalette::Base);

  EnDis({line, combo, nullptr, spin, number, button}, false);
  for (QWidget *w : inputs) {
    EXPECT_FALSE(w->isEnabled()) << w->metaObject()->className();
    // A disabled widget is drawn with the disabled group.
    EXPECT_EQ(w->palette().color(QPalette::Disabled, QPalette::Base),
              w->palette().color(QPalette::Active, QPalette::Button))
        << w->metaObject()->className();
  }
  EXPECT_FALSE(button->isEnabled());
  EXPECT_EQ(button->palette().color(QPalette::Active, QPalette::Base), buttonBase);
  // The arrows of the integer edit go with it.
  EXPECT_FALSE(number->UpDown()->isEnabled());

  EnDis({line, combo, spin, number, button}, true);
  for (QWidget *w : inputs) {
    EXPECT_TRUE(w->isEnabled());
    for (auto group : {QPalette::Active, QPalette::Inactive})
      EXPECT_EQ(w->palette().color(group, QPalette::Base), QColor(Qt::white));
  }
  EXPECT_TRUE(button->isEnabled());
  EXPECT_TRUE(number->UpDown()->isEnabled());
}

TEST(EnDis, SwitchingAgainMakesNoNewPalette) {
  // Styles cache pixmaps per palette: a new palette at every switch grew the
  // heap at every connect and disconnect.
  QWidget parent;
  auto *line = new QLineEdit(&parent);
  EnDis({line}, false);
  EnDis({line}, true);
  const qint64 key = line->palette().cacheKey();
  for (int i = 0; i < 3; ++i) {
    EnDis({line}, false);
    EnDis({line}, true);
  }
  EXPECT_EQ(line->palette().cacheKey(), key);
}

} // namespace
