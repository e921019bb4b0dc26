#pragma once
// Objects reached through interfaces under the library's two lifetime rules, and the streams.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "common/Exceptions.h"
#include "common/Object.h"
#include "platform/Files.h"

namespace kv {

enum TObjectState : uint8_t { osNormal = 0, osDestroying = 1, osDestroyed = 2 };

// An object reached through interfaces. Reference counted, it is deleted when the last reference
// goes; deleting it by hand while references exist is a programming error that ends the program
// with EManualDestroyError (a deallocation function must not throw).
//
// Create it with new only (otherwise the constructor raises EInvalidOperation). Its count starts at
// 0, so a constructor must not let a reference to the object escape: dropping it would delete the
// half-built object.
class TFlexibleInterfacedObject : public TObject, public IInterface {
  KV_CLASS_INFO()
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
    explicit TLifetime(std::size_t objectSize) : FObjectSize(objectSize) {}
    static TLifetime* Allocate(std::size_t objectSize);
    static TLifetime* OfMemory(void* memory);
    void* Memory();
    // The newest pending allocation if its memory holds `object`, which is then no longer pending.
    static TLifetime* TakePending(const void* object);
    // For an allocation whose object was never constructed.
    static void Unpend(TLifetime* lifetime);
    // The count before destruction began.
    int32_t BeginDestroy() noexcept;
    void FinishDestroy(bool referenceCounted) noexcept;
    void Free() noexcept;

    // The count and the state in one word, so that the owner's destroy and the last release
    // agree on which of them frees the memory.
    std::atomic<uint64_t> FCountAndState{0};
    // The object's IsReferenceCounted, remembered for releases after the owner destroyed it.
    std::atomic<bool> FReferenceCounted{true};
    TFlexibleInterfacedObject* FObject = nullptr;
    std::size_t FObjectSize;
    TLifetime* FNextPending = nullptr;
  };

  TFlexibleInterfacedObject();
  TFlexibleInterfacedObject(const TFlexibleInterfacedObject&) = delete;
  TFlexibleInterfacedObject& operator=(const TFlexibleInterfacedObject&) = delete;

  static void* operator new(std::size_t size);
  // Frees the memory of an object whose construction failed.
  static void operator delete(void* memory) noexcept;
  // delete: runs the destructor and frees the memory, or leaves the memory of a persistent object
  // to its last release.
  static void operator delete(TFlexibleInterfacedObject* object, std::destroying_delete_t) noexcept;

  // Which lifetime rule applies: deleted at the last release (true) or by its owner (false).
  virtual bool IsReferenceCounted() const { return true; }

  // Does not add a reference; TIntfPtr and Supports do.
  int32_t QueryInterface(const TGUID& iid, void** obj) noexcept override;
  TLifetime& RefCount() noexcept override;

 protected:
  // Answers the interfaces the class implements: a descendant answers its own and asks its parent.
  virtual bool GetInterface(const TGUID& iid, void** obj) noexcept;

 private:
  TLifetime* FLifetime;
};

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
  // The bytes read or written; fewer than asked at the end of the stream.
  virtual int64_t Read(void* buffer, int64_t count) = 0;
  virtual int64_t Write(const void* buffer, int64_t count) = 0;
  // Returns the new position.
  virtual int64_t Seek(int64_t offset, platform::TSeekOrigin origin) = 0;
  virtual int64_t Size() = 0;

  int64_t Position() { return Seek(0, platform::TSeekOrigin::Current); }
  void SetPosition(int64_t position) { Seek(position, platform::TSeekOrigin::Beginning); }
  // Read or write all of `count` bytes; EReadError or EWriteError when the stream falls short.
  void ReadBuffer(void* buffer, int64_t count);
  void WriteBuffer(const void* buffer, int64_t count);
};

// A stream over bytes in memory that grows as it is written.
class TMemoryStream : public TStream {
  KV_CLASS_INFO()
 public:
  int64_t Read(void* buffer, int64_t count) override;
  int64_t Write(const void* buffer, int64_t count) override;
  int64_t Seek(int64_t offset, platform::TSeekOrigin origin) override;
  int64_t Size() override { return static_cast<int64_t>(FData.size()); }

 private:
  std::vector<uint8_t> FData;
  int64_t FPosition = 0;
};

class TFileStream : public TStream {
  KV_CLASS_INFO()
 public:
  // Raises EOSError with the system's message when the file cannot be opened.
  TFileStream(const std::string& fileName, platform::TFileOpenMode mode,
              platform::TFileShare share);

  int64_t Read(void* buffer, int64_t count) override;
  int64_t Write(const void* buffer, int64_t count) override;
  int64_t Seek(int64_t offset, platform::TSeekOrigin origin) override;
  int64_t Size() override;

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

}  // namespace kv
