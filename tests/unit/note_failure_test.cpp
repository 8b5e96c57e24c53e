// A failure the program carries on past leaves one line: a worker job that throws is noted
// and the next job still runs.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "core/system/note_failure.h"
#include "core/system/workers.h"

namespace pv {
namespace {

TEST(NoteFailure, AThrowingJobIsNotedAndTheNextStillRuns) {
  ManualWorkers workers;
  bool nextRan = false;
  workers.start([] { throw std::runtime_error("lost connection"); });
  workers.start([] { throw 42; });
  workers.start([&nextRan] { nextRan = true; });
#ifndef _WIN32
  testing::internal::CaptureStderr();
#endif
  EXPECT_EQ(workers.runAll(), 3u);
  EXPECT_TRUE(nextRan);
#ifndef _WIN32
  // Natively the lines go to standard error (under Windows to the debugger output).
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "parcelvane: runGuarded: lost connection\n"
            "parcelvane: runGuarded: worker job let an exception out\n");
#endif
}

TEST(NoteFailure, EmptyAndNonAsciiTextsAreFine) {
#ifndef _WIN32
  testing::internal::CaptureStderr();
#endif
  noteFailure("", "");
  noteFailure("导入", "文件打不开");
#ifndef _WIN32
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            std::string("parcelvane: : \n") + "parcelvane: 导入: 文件打不开\n");
#endif
}

}  // namespace
}  // namespace pv
