#include "common/Common.Classes.h"

#include <algorithm>
#include <cstring>

#include "base/Rtti.h"

namespace kv {

KV_DEFINE_CLASS(TFlexibleInterfacedObject, "TFlexibleInterfacedObject", TObject)
KV_DEFINE_CLASS(TFlexibleInterfacedObject::EManualDestroyError, "EManualDestroyError", Exception)
KV_DEFINE_CLASS(TFlexiblePersistInterfacedObject, "TFlexiblePersistInterfacedObject",
                TFlexibleInterfacedObject)
KV_DEFINE_CLASS(TStream, "TStream", TObject)
KV_DEFINE_CLASS(TMemoryStream, "TMemoryStream", TStream)
KV_DEFINE_CLASS(TFileStream, "TFileStream", TStream)
KV_DEFINE_CLASS(TBufferedStream, "TBufferedStream", TStream)

namespace {

using platform::TSeekOrigin;
using TLifetime = TFlexibleInterfacedObject::TLifetime;

constexpr const char* kModule = "lib\\Common\\Common.Classes";

constexpr std::size_t kLifetimeSpace = (sizeof(TLifetime) + alignof(std::max_align_t) - 1) /
                                       alignof(std::max_align_t) * alignof(std::max_align_t);

constexpr uint64_t kCountMask = 0xFFFFFFFFu;
constexpr uint64_t kDestroying = uint64_t{1} << 32;
constexpr uint64_t kDestroyed = uint64_t{1} << 33;
constexpr uint64_t kPersistent = uint64_t{1} << 34;

int32_t CountOf(uint64_t countAndState) {
  return static_cast<int32_t>(static_cast<uint32_t>(countAndState & kCountMask));
}

TObjectState StateOf(uint64_t countAndState) {
  if (countAndState & kDestroyed) {
    return osDestroyed;
  }
  return countAndState & kDestroying ? osDestroying : osNormal;
}

}  // namespace

// ---- TFlexibleInterfacedObject::TLifetime ----

int32_t TLifetime::_AddRef() noexcept {
  return CountOf(FCountAndState.fetch_add(1) + 1);
}

int32_t TLifetime::_Release() {
  const uint64_t countAndState = FCountAndState.fetch_sub(1) - 1;
  const int32_t count = CountOf(countAndState);
  if (count == 0) {
    switch (StateOf(countAndState)) {
      case osNormal:
        if (!(countAndState & kPersistent)) {
          delete FObject;
        }
        break;
      case osDestroyed:
        Deallocate();
        break;
      case osDestroying:
        // The destroyer sees the count at zero and frees the memory itself.
        break;
    }
  }
  return count;
}

int32_t TLifetime::RefCount() const noexcept {
  return CountOf(FCountAndState.load());
}

TObjectState TLifetime::State() const noexcept {
  return StateOf(FCountAndState.load());
}

TLifetime* TLifetime::Allocate(std::size_t objectSize) {
  return ::new (::operator new(kLifetimeSpace + objectSize)) TLifetime();
}

void* TLifetime::Memory() {
  return reinterpret_cast<char*>(this) + kLifetimeSpace;
}

void TLifetime::AfterConstruction(bool referenceCounted) noexcept {
  // The count is at least 1 here, so taking 1 off cannot borrow from the flags.
  FCountAndState.fetch_add((referenceCounted ? 0 : kPersistent) - 1);
}

bool TLifetime::BeginDestroy() noexcept {
  uint64_t countAndState = FCountAndState.load();
  do {
    if (!(countAndState & kPersistent) && CountOf(countAndState) > 0) {
      return false;
    }
  } while (!FCountAndState.compare_exchange_weak(countAndState, countAndState | kDestroying));
  return true;
}

void TLifetime::FinishDestroy() noexcept {
  // A persistent object still referenced leaves its memory to the last release.
  if (!(FCountAndState.load() & kPersistent) || CountOf(FCountAndState.fetch_or(kDestroyed)) == 0) {
    Deallocate();
  }
}

void TLifetime::Deallocate() noexcept {
  void* block = this;
  this->~TLifetime();
  ::operator delete(block);
}

// ---- TFlexibleInterfacedObject::TConstruction ----

thread_local TFlexibleInterfacedObject::TConstruction*
    TFlexibleInterfacedObject::TConstruction::FCurrent = nullptr;

TFlexibleInterfacedObject::TConstruction::TConstruction(std::size_t objectSize)
    : FLifetime(TLifetime::Allocate(objectSize)), FObjectSize(objectSize), FOuter(FCurrent) {
  FCurrent = this;
}

TFlexibleInterfacedObject::TConstruction::~TConstruction() {
  FCurrent = FOuter;
  if (!FFinished) {
    FLifetime->Deallocate();
  }
}

void TFlexibleInterfacedObject::TConstruction::Finish(
    const TFlexibleInterfacedObject& object) noexcept {
  FLifetime->AfterConstruction(object.IsReferenceCounted());
  FFinished = true;
}

TLifetime* TFlexibleInterfacedObject::TConstruction::Take(const void* object) {
  TConstruction* current = FCurrent;
  const auto address = reinterpret_cast<uintptr_t>(object);
  const auto begin = current ? reinterpret_cast<uintptr_t>(current->Memory()) : 0;
  if (!current || address < begin || address >= begin + current->FObjectSize) {
    return nullptr;
  }
  // Taken once: an object constructed within this one (a member) is not New's.
  FCurrent = current->FOuter;
  return current->FLifetime;
}

// ---- TFlexibleInterfacedObject ----

TFlexibleInterfacedObject::EManualDestroyError::EManualDestroyError()
    : Exception(
          "Вызван в ручную деструктор для объекта, который должен уничтожаться только при "
          "обниливании всех ссылок на него") {}

TFlexibleInterfacedObject::TFlexibleInterfacedObject() : FLifetime(TConstruction::Take(this)) {
  if (!FLifetime) {
    throw EInvalidOperation(ClassName() + " must be created with New");
  }
  FLifetime->FObject = this;
}

void TFlexibleInterfacedObject::operator delete(TFlexibleInterfacedObject* object,
                                                std::destroying_delete_t) noexcept {
  // A refused destroy reaches std::terminate here, which reports EManualDestroyError.
  object->Free();
}

void TFlexibleInterfacedObject::Free() {
  TLifetime& lifetime = *FLifetime;
  if (!lifetime.BeginDestroy()) {
    throw EManualDestroyError();
  }
  this->~TFlexibleInterfacedObject();
  lifetime.FinishDestroy();
}

int32_t TFlexibleInterfacedObject::QueryInterface(const TGUID& iid, void** obj) noexcept {
  *obj = nullptr;
  return GetInterface(iid, obj) ? kResultOk : kResultNoInterface;
}

TFlexibleInterfacedObject::TLifetime& TFlexibleInterfacedObject::RefCount() noexcept {
  return *FLifetime;
}

bool TFlexibleInterfacedObject::GetInterface(const TGUID& iid, void** obj) noexcept {
  if (iid == IInterface::IID) {
    *obj = static_cast<IInterface*>(this);
    return true;
  }
  return false;
}

// ---- TStream ----

void TStream::ReadBuffer(void* buffer, int64_t count) {
  auto* bytes = static_cast<uint8_t*>(buffer);
  int64_t total = 0;
  while (total < count) {
    const int64_t read = Read(bytes + total, count - total);
    if (read <= 0) {
      throw EReadError("Stream read error");
    }
    total += read;
  }
}

void TStream::WriteBuffer(const void* buffer, int64_t count) {
  if (count > 0 && Write(buffer, count) != count) {
    throw EWriteError("Stream write error");
  }
}

void TStream::SetSize(int64_t) {
  throw EStreamError(ClassName() + " cannot change its size");
}

std::optional<int64_t> TStream::SeekTarget(int64_t offset, TSeekOrigin origin, int64_t position) {
  switch (origin) {
    case TSeekOrigin::Beginning:
      return offset;
    case TSeekOrigin::Current:
      return position + offset;
    case TSeekOrigin::End:
      return Size() + offset;
  }
  return std::nullopt;
}

// ---- TMemoryStream ----

int64_t TMemoryStream::Read(void* buffer, int64_t count) {
  const int64_t size = Size();
  if (FPosition < 0 || FPosition >= size || count <= 0) {
    return 0;
  }
  const int64_t read = std::min(count, size - FPosition);
  std::memcpy(buffer, FData.data() + FPosition, static_cast<size_t>(read));
  FPosition += read;
  return read;
}

int64_t TMemoryStream::Write(const void* buffer, int64_t count) {
  if (FPosition < 0 || count <= 0) {
    return 0;
  }
  if (FPosition + count > Size()) {
    FData.resize(static_cast<size_t>(FPosition + count));
  }
  std::memcpy(FData.data() + FPosition, buffer, static_cast<size_t>(count));
  FPosition += count;
  return count;
}

int64_t TMemoryStream::Seek(int64_t offset, TSeekOrigin origin) {
  FPosition = SeekTarget(offset, origin, FPosition).value_or(FPosition);
  return FPosition;
}

void TMemoryStream::SetSize(int64_t newSize) {
  if (newSize < 0) {
    throw EStreamError("Negative stream size");
  }
  FData.resize(static_cast<size_t>(newSize));
  FPosition = std::min(FPosition, newSize);
}

// ---- TFileStream ----

TFileStream::TFileStream(const std::string& fileName, platform::TFileOpenMode mode,
                         platform::TFileShare share)
    : FHandle(platform::OpenFile(fileName, mode, share)) {}

int64_t TFileStream::Read(void* buffer, int64_t count) {
  return FHandle->Read(buffer, count);
}

int64_t TFileStream::Write(const void* buffer, int64_t count) {
  return FHandle->Write(buffer, count);
}

int64_t TFileStream::Seek(int64_t offset, TSeekOrigin origin) {
  return FHandle->Seek(offset, origin);
}

int64_t TFileStream::Size() {
  return FHandle->Size();
}

void TFileStream::SetSize(int64_t newSize) {
  FHandle->SetSize(newSize);
}

// ---- TBufferedStream ----

TBufferedStream::TBufferedStream(TStream* stream, TStreamOwnership ownership)
    : FStream(stream), FOwnership(ownership) {}

TBufferedStream::TBufferedStream(const std::string& fileName, int32_t buffSize,
                                 platform::TFileOpenMode mode, platform::TFileShare share)
    : TBufferedStream(new TFileStream(fileName, mode, share), soOwned) {
  SetBuffSize(buffSize);
}

TBufferedStream::~TBufferedStream() {
  if (FOwnership == soOwned) {
    delete FStream;
  }
}

int64_t TBufferedStream::Read(void* buffer, int64_t count) {
  auto* bytes = static_cast<uint8_t*>(buffer);
  int64_t delivered = 0;
  while (delivered < count) {
    int64_t copied = 0;
    if (InBuffer(FPosition)) {
      const int64_t available = BuffLastPosition() - FPosition + 1;
      Assert(available > 0, kModule, 768);
      copied = std::min(available, count - delivered);
      std::memcpy(bytes + delivered, FBuff.data() + (FPosition - FBuffStartPosition),
                  static_cast<size_t>(copied));
      FPosition += copied;
      delivered += copied;
    }
    if (copied == 0) {
      // The buffer moves only once the inner read has succeeded.
      std::vector<uint8_t> fresh(static_cast<size_t>(FBuffSize));
      FStream->SetPosition(FPosition);
      fresh.resize(static_cast<size_t>(FStream->Read(fresh.data(), FBuffSize)));
      FBuff.swap(fresh);
      FBuffStartPosition = FPosition;
      if (FBuff.empty()) {
        break;
      }
    }
  }
  return delivered;
}

int64_t TBufferedStream::Write(const void*, int64_t) {
  throw EStreamError("Stream is read-only");
}

int64_t TBufferedStream::Seek(int64_t offset, TSeekOrigin origin) {
  const std::optional<int64_t> target = SeekTarget(offset, origin, FPosition);
  Assert(target.has_value(), kModule, 832);
  FPosition = *target;
  if (!InBuffer(FPosition)) {
    InvalidateBuffer();
  }
  return FPosition;
}

void TBufferedStream::SetBuffSize(int32_t value) {
  if (value < 0) {
    value = 0x4000;
  }
  if (value != FBuffSize) {
    FBuffSize = value;
    InvalidateBuffer();
  }
}

bool TBufferedStream::InBuffer(int64_t position) const {
  return !FBuff.empty() && FBuffStartPosition <= position && position <= BuffLastPosition();
}

int64_t TBufferedStream::BuffLastPosition() const {
  return FBuffStartPosition + static_cast<int64_t>(FBuff.size()) - 1;
}

}  // namespace kv
