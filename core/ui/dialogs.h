#pragma once
// The Dialogs port: modal message boxes with a fixed set of buttons, owned by one of our
// windows. The Win32 adapter shows MessageBoxW; RecordingDialogs stands in for tests.
//
// Threads: any thread may call; the call returns when the operator has answered. An owner
// window that is not loaded is no owner: the box then stands alone.
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/ui/window_defs.h"

namespace pv {

enum class DialogButtons { Ok, OkCancel, YesNo };
enum class DialogIcon { None, Information, Warning, Error, Question };
// None: the box could not be shown.
enum class DialogAnswer { None, Ok, Cancel, Yes, No };

struct DialogMessage {
  std::string text{};   // GBK
  std::string title{};  // GBK
  DialogButtons buttons = DialogButtons::Ok;
  DialogIcon icon = DialogIcon::None;
  std::optional<Window> owner{};
};

class Dialogs {
 public:
  virtual ~Dialogs() = default;
  virtual DialogAnswer show(const DialogMessage& message) = 0;
};

// Records every box and answers from a script. Without a scripted answer it gives the
// answer that changes nothing: OK for an OK box, Cancel and No for the questions.
class RecordingDialogs final : public Dialogs {
 public:
  DialogAnswer show(const DialogMessage& message) override;

  // Answers for the next boxes, in order.
  void script(DialogAnswer answer);
  std::vector<DialogMessage> shown() const;
  size_t count() const;
  void clear();

 private:
  mutable std::mutex mutex_;
  std::vector<DialogMessage> shown_;
  std::deque<DialogAnswer> script_;
};

}  // namespace pv
