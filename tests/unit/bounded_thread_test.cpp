// BoundedThread: jobs in order on a thread of their own, and a job that never answers costs
// its caller the time limit, not the rest of the run.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "core/system/bounded_thread.h"

namespace pv {
namespace {

using std::chrono::milliseconds;

TEST(BoundedThread, RunsJobsInOrderOnItsOwnThreadBetweenStartAndEnd) {
  std::vector<std::string> seen;
  std::thread::id where;
  {
    BoundedThread thread([&] { seen.push_back("start"); where = std::this_thread::get_id(); },
                         [&] { seen.push_back("end"); });
    for (const char* name : {"a", "b"}) {
      EXPECT_TRUE(thread.run([&seen, name] { seen.push_back(name); }, milliseconds(5000)));
    }
    EXPECT_TRUE(thread.run([] { throw std::runtime_error("noted, not fatal"); }, milliseconds(5000)));
    EXPECT_FALSE(thread.abandoned());
  }
  EXPECT_EQ(seen, (std::vector<std::string>{"start", "a", "b", "end"}));
  EXPECT_NE(where, std::this_thread::get_id());
}

TEST(BoundedThread, AJobThatOverstaysIsAbandonedAndLaterJobsAreRefused) {
  auto release = std::make_shared<std::promise<void>>();
  auto ended = std::make_shared<std::promise<void>>();
  std::future<void> endedSeen = ended->get_future();
  std::atomic<bool> laterRan{false};
  {
    BoundedThread thread({}, [ended] { ended->set_value(); });
    std::shared_future<void> gate = release->get_future().share();
    EXPECT_FALSE(thread.run([gate] { gate.wait(); }, milliseconds(50)));
    EXPECT_TRUE(thread.abandoned());
    EXPECT_FALSE(thread.run([&] { laterRan = true; }, milliseconds(5000)));  // at once
  }  // destroyed while the job still hangs: no wait
  EXPECT_FALSE(laterRan);
  release->set_value();  // the other program answers at last: the thread ends by itself
  EXPECT_EQ(endedSeen.wait_for(std::chrono::seconds(10)), std::future_status::ready);
}

}  // namespace
}  // namespace pv
