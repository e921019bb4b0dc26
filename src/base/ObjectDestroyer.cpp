#include "base/ObjectDestroyer.h"

#include <utility>

namespace kv {

TIntfPtr<IObjectDestroyer> TObject::AutoDestroy() {
  return TObjectDestroyer::Owning(this);
}

TIntfPtr<TObjectDestroyer> TObjectDestroyer::Owning(TObject* target) {
  return TIntfPtr<TObjectDestroyer>(new TObjectDestroyer(target, true));
}

TIntfPtr<TObjectDestroyer> TObjectDestroyer::NonOwning(TObject* target) {
  return TIntfPtr<TObjectDestroyer>(new TObjectDestroyer(target, false));
}

TObject* TObjectDestroyer::TakeTarget() noexcept {
  return std::exchange(FTarget, nullptr);
}

int32_t TObjectDestroyer::QueryInterface(const TGUID& iid, void** obj) noexcept {
  if (iid == IInterface::IID || iid == IObjectDestroyer::IID) {
    *obj = static_cast<IObjectDestroyer*>(this);
    return kResultOk;
  }
  *obj = nullptr;
  return kResultNoInterface;
}

int32_t TObjectDestroyer::_AddRef() noexcept {
  return FRefCount.fetch_add(1) + 1;
}

int32_t TObjectDestroyer::_Release() {
  const int32_t count = FRefCount.fetch_sub(1) - 1;
  if (count == 0) {
    TObject* target = FOwning ? TakeTarget() : nullptr;
    delete this;
    delete target;
  }
  return count;
}

}  // namespace kv
