#pragma once
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/instrument/Backend.h"
#include "core/instrument/GpibApi.h"

namespace merilog {

// GPIB instruments through linux-gpib, whose library is loaded when the program
// runs: without it the backend is inactive and lists nothing.
// Resource: GPIB<board>::<primary address>[::<secondary address>]::INSTR.
class GpibBackend final : public Backend {
 public:
  struct Address {
    int board = 0;
    int pad = 0;
    int sad = -1;  // none
  };

  static constexpr int kBoards = 4;  // boards 0..3 are searched
  static constexpr int kFirstPad = 1;
  static constexpr int kLastPad = 30;
  static constexpr int kDefaultTimeoutMs = 2000;

  // Loads the named library (linux-gpib's by default).
  explicit GpibBackend(const std::string& library = "libgpib.so.0");
  // Uses the given entry points instead of loading a library.
  explicit GpibBackend(const GpibApi& api);

  std::string Name() const override { return "GPIB"; }
  bool IsActive(std::string* whyNot) const override;
  // Asks every primary address of every board whether a listener answers.
  std::vector<std::string> List() override;
  bool Handles(const std::string& resource) const override;
  std::unique_ptr<Session> Open(const std::string& resource, Status* status) override;

  static std::optional<Address> ParseResource(const std::string& resource);
  // The library's time-out code for a time in milliseconds: the shortest period
  // not below it; ms < 0 means no time-out.
  static int TimeoutCode(int ms);

 private:
  std::optional<GpibApi> api_;
  std::string whyNot_;
};

}  // namespace merilog
