#include <gtest/gtest.h>

#include <QProcess>
#include <ostream>

#include "ui/qt_environment.h"

namespace {

struct EndCase {
  const char* mode;
  int exit_code;
  QByteArray output;
};

void PrintTo(const EndCase& c, std::ostream* os) { *os << c.mode; }

class ProgramEndTest : public ::testing::TestWithParam<EndCase> {};

// Nothing may wait for a worker: the limit lies far below the minute that one worker sleeps.
TEST_P(ProgramEndTest, EndsWithoutWaitingForWorkers) {
  QProcess child;
  child.start(QStringLiteral(TARNWICK_CLOSING_CHILD), {QString::fromUtf8(GetParam().mode)});
  ASSERT_TRUE(child.waitForStarted(10000));
  const bool finished = child.waitForFinished(30000);
  if (!finished) child.kill();
  ASSERT_TRUE(finished);
  EXPECT_EQ(child.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(child.exitCode(), GetParam().exit_code);
  EXPECT_EQ(child.readAllStandardOutput(), GetParam().output);
}

INSTANTIATE_TEST_SUITE_P(
    Modes, ProgramEndTest,
    ::testing::Values(
        // The clean-up runs once, and no box appears.
        EndCase{"close-during-run", 0, "cleanup\n"},
        // The report box is shown by the window's thread; the clean-up does not run.
        EndCase{"fatal-on-worker", 255, QByteArray("box 错误 critical\n")}),
    [](const auto& test_info) {
      std::string name = test_info.param.mode;
      for (char& c : name) c = c == '-' ? '_' : c;
      return name;
    });

}  // namespace
