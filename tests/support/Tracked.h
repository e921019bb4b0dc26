#pragma once
// An ordinary object that counts its destructions in a counter that outlives it.

#include <string>

#include "base/Object.h"

namespace kv::test {

class TTracked : public TObject {
 public:
  explicit TTracked(int& destructions) : FDestructions(destructions) {}
  ~TTracked() override { ++FDestructions; }
  std::string ToString() const override { return "tracked"; }

 private:
  int& FDestructions;
};

}  // namespace kv::test
