#pragma once

namespace merilog::ui {

// The application's wait cursor, shown while a model asks for it.
class WaitCursor {
 public:
  WaitCursor() = default;
  ~WaitCursor();
  WaitCursor(const WaitCursor&) = delete;
  WaitCursor& operator=(const WaitCursor&) = delete;
  void Show(bool shown);

 private:
  bool shown_ = false;
};

}  // namespace merilog::ui
