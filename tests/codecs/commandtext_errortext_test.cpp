#include "base/pterror.h"
#include "codecs/commandtext.h"

#include <gtest/gtest.h>

// A NUL byte in the text must not end the message that quotes it.
TEST(CommandTextErrors, MessageQuotesTheWholeTextPastANul) {
  try {
    ConvertToBinnaryEx(QByteArrayView("\0{x", 3), true);
    FAIL() << "no error";
  } catch (const EPtError &e) {
    EXPECT_EQ(e.Message(), QStringLiteral("End character \"}\" not found in \"\\0{x\" !"));
  }
}
