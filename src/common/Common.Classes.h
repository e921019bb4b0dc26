#pragma once
// Objects reached through interfaces under the library's two lifetime rules, and the streams.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "base/Exceptions.h"
#include "base/Object.h"
#include "platform/Files.h"

namespace kv {

enum TObjectState : uint8_t { osNormal = 0, osDestroying = 1, osDestroyed = 2 };

// An object reached through interfaces, created with New. Reference counted, it is deleted when
// the last reference goes; destroying it by hand while references exist is a programming error.
class TFlexibleInterfacedObject : public TObject, public IInterface {
  KV_CLASS_INFO()
 private:
  class TConstruction;

 public:
  class EManualDestroyError : public Exception {
    KV_CLASS_INFO()
   public:
    EManualDestroyError();
  };

  // The count and state, kept in front of the object so that references may outlive it.
  class TLifetime final : public IRefCount {
   public:
    int32_t _AddRef() noexcept override;
    int32_t _Release() override;
    int32_t RefCount() const noexcept;
    TObjectState State() const noexcept;

   private:
    friend class TFlexibleInterfacedObject;
    friend class TFlexibleInterfacedObject::TConstruction;
    TLifetime() = default;
    static TLifetime* Allocate(std::size_t objectSize);
    void* Memory();
    void AfterConstruction(bool referenceCounted) noexcept;
    // False, changing nothing, for a reference-counted object that still has references.
    bool BeginDestroy() noexcept;
    void FinishDestroy() noexcept;
    void Deallocate() noexcept;

    // The count, the state and the lifetime rule in one word, so that the owner's destroy and
    // the last release agree on which of them frees the memory.
    std::atomic<uint64_t> FCountAndState{1};
    TFlexibleInterfacedObject* FObject = nullptr;
  };

  TFlexibleInterfacedObject();
  TFlexibleInterfacedObject(const TFlexibleInterfacedObject&) = delete;
  TFlexibleInterfacedObject& operator=(const TFlexibleInterfacedObject&) = delete;

  // Only New creates these objects.
  static void* operator new(std::size_t) = delete;
  // As Free, but a refused destroy ends the program: a deallocation function cannot throw.
  static void operator delete(TFlexibleInterfacedObject* object, std::destroying_delete_t) noexcept;

  // Destroys the object by hand. A reference-counted object that still has references raises
  // EManualDestroyError and stays intact, to be destroyed by its last release.
  void Free();

  // Which lifetime rule applies: deleted at the last release (true) or by its owner (false).
  virtual bool IsReferenceCounted() const { return true; }

  // Does not add a reference; TIntfPtr and Supports do.
  int32_t QueryInterface(const TGUID& iid, void** obj) noexcept override;
  TLifetime& RefCount() noexcept override;

 protected:
  // Answers the interfaces the class implements: a descendant answers its own and asks its parent.
  virtual bool GetInterface(const TGUID& iid, void** obj) noexcept;

 private:
  template <class T, class... Args>
  friend T* New(Args&&... args);

  // The memory New constructs an object in, found by its TFlexibleInterfacedObject constructor.
  // A creation nested in another (by a base constructed before that part) finds its own; the
  // memory is freed when the constructor throws.
  class TConstruction {
   public:
    explicit TConstruction(std::size_t objectSize);
    TConstruction(const TConstruction&) = delete;
    TConstruction& operator=(const TConstruction&) = delete;
    ~TConstruction();

    void* Memory() const { return FLifetime->Memory(); }
    void Finish(const TFlexibleInterfacedObject& object) noexcept;
    // The lifetime for the object at `object` if New is constructing it on this thread.
    static TLifetime* Take(const void* object);

   private:
    static thread_local TConstruction* FCurrent;
    TLifetime* FLifetime;
    std::size_t FObjectSize;
    TConstruction* FOuter;
    bool FFinished = false;
  };

  TLifetime* FLifetime;
};

// Creates a TFlexibleInterfacedObject descendant. The count is 1 while the constructor runs, so
// that a reference it takes and drops cannot destroy the half-built object, and 0 when New
// returns. Hold the result in a TIntfPtr (reference counted) or a std::unique_ptr (persistent).
template <class T, class... Args>
T* New(Args&&... args) {
  static_assert(std::is_base_of_v<TFlexibleInterfacedObject, T>);
  static_assert(alignof(T) <= alignof(std::max_align_t));
  TFlexibleInterfacedObject::TConstruction construction(sizeof(T));
  T* object = ::new (construction.Memory()) T(std::forward<Args>(args)...);
  construction.Finish(*object);
  return object;
}

// A TFlexibleInterfacedObject whose owner deletes it. References that outlive the delete keep
// only the memory alive and must not call into the object any more.
class TFlexiblePersistInterfacedObject : public TFlexibleInterfacedObject {
  KV_CLASS_INFO()
 public:
  bool IsReferenceCounted() const override { return false; }
};

// In a descendant that implements further interfaces: answers their IInterface members with the
// object's own.
#define KV_INTERFACED_OBJECT()                                                   \
 public:                                                                         \
  int32_t QueryInterface(const ::kv::TGUID& iid, void** obj) noexcept override { \
    return ::kv::TFlexibleInterfacedObject::QueryInterface(iid, obj);            \
  }                                                                              \
  ::kv::TFlexibleInterfacedObject::TLifetime& RefCount() noexcept override {     \
    return ::kv::TFlexibleInterfacedObject::RefCount();                          \
  }

// A stream of bytes with 64-bit positions.
class TStream : public TObject {
  KV_CLASS_INFO()
 public:
  TStream() = default;
  // A copy would share the original's inner stream or handle.
  TStream(const TStream&) = delete;
  TStream& operator=(const TStream&) = delete;

  // The bytes read or written; fewer than asked at the end of the stream.
  virtual int64_t Read(void* buffer, int64_t count) = 0;
  virtual int64_t Write(const void* buffer, int64_t count) = 0;
  // Returns the new position.
  virtual int64_t Seek(int64_t offset, platform::TSeekOrigin origin) = 0;
  virtual int64_t Size() = 0;
  // Cuts or extends the stream; raises EStreamError for a stream whose size cannot change.
  virtual void SetSize(int64_t newSize);

  int64_t Position() { return Seek(0, platform::TSeekOrigin::Current); }
  void SetPosition(int64_t position) { Seek(position, platform::TSeekOrigin::Beginning); }
  // Read or write all of `count` bytes; EReadError or EWriteError when the stream falls short.
  void ReadBuffer(void* buffer, int64_t count);
  void WriteBuffer(const void* buffer, int64_t count);

 protected:
  // Where a seek by `offset` from `origin` leads from `position`; nothing for an unknown origin.
  std::optional<int64_t> SeekTarget(int64_t offset, platform::TSeekOrigin origin, int64_t position);
};

// A stream over bytes in memory that grows as it is written.
class TMemoryStream : public TStream {
  KV_CLASS_INFO()
 public:
  int64_t Read(void* buffer, int64_t count) override;
  int64_t Write(const void* buffer, int64_t count) override;
  int64_t Seek(int64_t offset, platform::TSeekOrigin origin) override;
  int64_t Size() override { return static_cast<int64_t>(FData.size()); }
  void SetSize(int64_t newSize) override;

 private:
  std::vector<uint8_t> FData;
  int64_t FPosition = 0;
};

class TFileStream : public TStream {
  KV_CLASS_INFO()
 public:
  // Raises EOSError with the operating system's message when the file cannot be opened.
  TFileStream(const std::string& fileName, platform::TFileOpenMode mode,
              platform::TFileShare share);

  int64_t Read(void* buffer, int64_t count) override;
  int64_t Write(const void* buffer, int64_t count) override;
  int64_t Seek(int64_t offset, platform::TSeekOrigin origin) override;
  int64_t Size() override;
  void SetSize(int64_t newSize) override;

 private:
  std::unique_ptr<platform::IFileHandle> FHandle;
};

enum TStreamOwnership : uint8_t { soReference = 0, soOwned = 1 };

// A read-only stream that reads another one through a large buffer, so that many small reads of
// a large file cost one inner read per buffer. One thread at a time.
class TBufferedStream : public TStream {
  KV_CLASS_INFO()
 public:
  TBufferedStream(TStream* stream, TStreamOwnership ownership);
  // Opens the file and owns it.
  TBufferedStream(const std::string& fileName, int32_t buffSize, platform::TFileOpenMode mode,
                  platform::TFileShare share);
  ~TBufferedStream() override;

  int64_t Read(void* buffer, int64_t count) override;
  // Raises EStreamError: the stream is read-only.
  int64_t Write(const void* buffer, int64_t count) override;
  // Moves only this stream's position; the buffer is kept when the position stays within it.
  int64_t Seek(int64_t offset, platform::TSeekOrigin origin) override;
  int64_t Size() override { return FStream->Size(); }

  void InvalidateBuffer() { FBuff.clear(); }
  int32_t BuffSize() const { return FBuffSize; }
  // A negative size means 16 KiB; a new size drops the buffer.
  void SetBuffSize(int32_t value);

 private:
  bool InBuffer(int64_t position) const;
  int64_t BuffLastPosition() const;

  TStream* FStream;
  TStreamOwnership FOwnership;
  int64_t FPosition = 0;
  std::vector<uint8_t> FBuff;
  int64_t FBuffStartPosition = 0;
  int32_t FBuffSize = 0x100000;
};

// An object that saves itself to a stream with a version, so that an older reader can skip what a
// newer writer added.
class IVersionedStreamPersist : public IInterface {
 public:
  static constexpr TGUID IID{
      0x5321FA2C, 0x35C6, 0x4890, {0xB8, 0xAA, 0xFC, 0xE0, 0x20, 0x64, 0x9F, 0xF9}};
  virtual int32_t GetVersion() = 0;
  virtual void SaveToStream(TStream& stream) = 0;
  virtual void LoadFromStream(TStream& stream, int32_t version) = 0;

 protected:
  ~IVersionedStreamPersist() = default;
};

}  // namespace kv
