#pragma once
// The guard record behind IObjectDestroyer and TObject::AutoDestroy.

#include <atomic>
#include <cstdint>

#include "base/Object.h"

namespace kv {

// Frees its object (owning) or merely names it (non-owning) when the last reference goes.
class TObjectDestroyer final : public IObjectDestroyer, private IRefCount {
 public:
  static TIntfPtr<TObjectDestroyer> Owning(TObject* target);
  static TIntfPtr<TObjectDestroyer> NonOwning(TObject* target);

  TObject* GetTarget() const noexcept override { return FTarget; }
  // Gives the object up: no reference frees it any more, and every one reads nothing.
  TObject* TakeTarget() noexcept;

  int32_t QueryInterface(const TGUID& iid, void** obj) noexcept override;
  IRefCount& RefCount() noexcept override { return *this; }

 private:
  TObjectDestroyer(TObject* target, bool owning) : FTarget(target), FOwning(owning) {}
  int32_t _AddRef() noexcept override;
  int32_t _Release() override;

  TObject* FTarget;
  const bool FOwning;
  std::atomic<int32_t> FRefCount{0};
};

}  // namespace kv
