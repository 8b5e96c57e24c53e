// The portable ports the client's flows lean on: workers that never let an exception out
// and are never waited for, and the clock's day count.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "core/system/clock.h"
#include "core/system/workers.h"

namespace pv {
namespace {

TEST(ClientPorts, ThreadWorkersRunEachJobOnItsOwnThreadAndSwallowItsExceptions) {
  ThreadWorkers workers;
  std::atomic<int> done{0};
  std::atomic<bool> elsewhere{false};
  const auto starter = std::this_thread::get_id();
  workers.start([] { throw std::runtime_error("a worker's fault"); });
  workers.start([&] {
    elsewhere = std::this_thread::get_id() != starter;
    ++done;
  });
  workers.start({});  // an empty job does nothing
  for (int i = 0; i < 1000 && done.load() == 0; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  EXPECT_EQ(done.load(), 1);
  EXPECT_TRUE(elsewhere.load());
}

TEST(ClientPorts, ManualWorkersRunQueuedJobsAndTheirFollowersInOrder) {
  ManualWorkers workers;
  std::string order;
  workers.start([&] {
    order += "a";
    workers.start([&] { order += "c"; });
  });
  workers.start([&] {
    order += "b";
    throw 1;
  });
  EXPECT_EQ(workers.runAll(), 3u);
  EXPECT_EQ(order, "abc");
  EXPECT_FALSE(workers.runNext());
}

TEST(ClientPorts, ClocksTellTheTime) {
  using std::chrono::system_clock;
  const auto before = system_clock::now();
  const auto now = SystemClock().now();
  EXPECT_GE(now, before);
  EXPECT_LE(now, system_clock::now());
  const auto noonJan2nd2024 = system_clock::time_point{std::chrono::seconds(1704196800)};
  FakeClock clock(noonJan2nd2024);
  clock.advance(std::chrono::minutes(90));
  EXPECT_EQ(clock.now(), noonJan2nd2024 + std::chrono::minutes(90));
  clock.set(noonJan2nd2024);
  EXPECT_EQ(clock.now(), noonJan2nd2024);
}

}  // namespace
}  // namespace pv
