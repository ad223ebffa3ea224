#include "base/pterror.h"

#include <gtest/gtest.h>

TEST(PtError, MessagesKeepEveryCharacterAndShowNulReadably) {
  const QString text = QString::fromUtf8("a\0b č\0", 7) + QStringLiteral(" end");
  const EPtError error(text);
  EXPECT_EQ(error.Message(), QStringLiteral("a\\0b č\\0 end"));
  EXPECT_EQ(ExceptionText(error), error.Message());

  // Text without NUL passes unchanged, whichever constructor made it.
  EXPECT_EQ(EPtError(QStringLiteral("Žluťoučký \"kůň\"")).Message(),
            QStringLiteral("Žluťoučký \"kůň\""));
  EXPECT_EQ(EPtError("plain").Message(), QStringLiteral("plain"));
}
