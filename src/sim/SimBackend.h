#pragma once
#include <memory>
#include <string>
#include <vector>

#include "core/instrument/Backend.h"
#include "sim/SimBench.h"

namespace merilog::sim {

// The simulated meters as a backend: lists the bench's meters that are on the
// bus and opens in-process sessions to them.
class SimBackend : public Backend {
 public:
  explicit SimBackend(std::shared_ptr<SimBench> bench);
  std::string Name() const override { return "sim"; }
  bool IsActive(std::string* whyNot) const override;
  std::vector<std::string> List() override;
  bool Handles(const std::string& resource) const override;
  std::unique_ptr<Session> Open(const std::string& resource, Status* status) override;

  const std::shared_ptr<SimBench>& Bench() const { return bench_; }

 private:
  std::shared_ptr<SimBench> bench_;
};

}  // namespace merilog::sim
