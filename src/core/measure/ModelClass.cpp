#include "core/measure/ModelClass.h"

#include <array>

namespace merilog {

std::span<const ModelClassTest> ModelClassTable() {
  static const std::array<ModelClassTest, 5> kTests{{
      {ModelClass::DualFunction, {"6082"}},
      {ModelClass::DualFunctionVariant, {"MR6082"}},
      {ModelClass::Basic, {"6081"}},
      {ModelClass::RatioCapable, {"P7710", "P7711"}},
      {ModelClass::ScannerCapable, {"P7700A"}},
  }};
  return kTests;
}

bool IsModelClass(std::string_view identification, ModelClass modelClass) {
  for (const auto& test : ModelClassTable()) {
    if (test.modelClass != modelClass) continue;
    for (const auto& tag : test.tags)
      if (identification.find(tag) != std::string_view::npos) return true;
  }
  return false;
}

}  // namespace merilog
