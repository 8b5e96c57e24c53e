#pragma once
// Runs a producer of data pieces on a thread of its own, a few pieces ahead of the consumer:
// inflating an xlsx sheet and parsing it take about as long as each other, and the
// operator's machine has a core to spare for one of them.
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <stop_token>
#include <string>
#include <thread>
#include <vector>

namespace pv {

class ReadAhead {
 public:
  // `produce(piece)` appends the next piece and returns false when there is none; it runs
  // on the read-ahead thread only, and not at all any more once the ReadAhead is gone.
  ReadAhead(std::function<bool(std::string&)> produce, size_t depth);
  // Stops the producer after its current piece and waits for it.
  ~ReadAhead();
  ReadAhead(const ReadAhead&) = delete;
  ReadAhead& operator=(const ReadAhead&) = delete;

  // Appends the next piece to `out` (waiting for it); false when the producer has ended.
  bool next(std::string& out);

 private:
  void run(const std::stop_token& stop);

  std::function<bool(std::string&)> produce_;
  const size_t depth_;
  std::mutex mutex_;
  std::condition_variable_any changed_;
  std::deque<std::string> ready_;
  std::vector<std::string> spare_;  // emptied pieces, reused so their memory is touched once
  bool ended_ = false;
  std::jthread worker_;  // last: started when everything it uses exists
};

}  // namespace pv
