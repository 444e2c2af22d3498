#include "harness.h"

namespace {

TEST(FatalError, ShowsTheCursorThenTheReportAndExitsWithCodeOne) {
  sim::reset();
  EXPECT_EXIT(
      {
        sim::echoCalls(true);
        fatalError(565, "Couldn't lock surface");
      },
      ::testing::ExitedWithCode(1),
      "^" + literal(fatalReportCalls(565, "Couldn't lock surface")) + "$");
}

TEST(FatalError, LongMessagesAreCutToTheReportBuffer) {
  sim::reset();
  const std::string message(600, 'm');
  // "Error (Corvane line 1): " is 24 characters; the text is cut at 511.
  EXPECT_EXIT(
      {
        sim::echoCalls(true);
        fatalError(1, message.c_str());
      },
      ::testing::ExitedWithCode(1),
      literal("\"Error (Corvane line 1): " + std::string(511 - 24, 'm') +
              "\", \"Corvane Native\""));
}

}  // namespace
