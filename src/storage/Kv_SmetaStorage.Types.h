#pragma once
// The document storage: a tree of folders, documents of the client's own types and external
// documents (files of other programs) reached through reference-counted interfaces; the storage
// base bound to one data source; the factory that finds the storage class serving a data source;
// the storage's errors; the write stream that carries document properties; and the folder
// properties file of folder storages.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "base/DateTime.h"
#include "base/Exceptions.h"
#include "base/Object.h"
#include "common/Common.Classes.h"
#include "storage/Kv.Doc.Properties.h"
#include "storage/Kv_Storage.Types.h"

namespace kv {

class TSmetaStorage;
class TSmetaStorageDocumentWriteStream;
class ISmetaStorageFolder;
class ISmetaStorageDocument;
class ISmetaStorageExternalDocument;

// The folder's descriptive texts, kept by folder storages in ".kvdata\config.xml" inside the
// folder.
struct TFolderProperties {
  std::string ObjName;
  std::string ConName;
  std::string StgName;
  std::string Comment;
  std::string RegNum;
  std::string LocNum;

  void Clear();
  // Empty texts when the folder has no properties file. A file that cannot be read raises and
  // leaves the record as it was.
  void Load(const std::string& folderPath);
  // Replaces the six attributes of the file's document element, keeping the rest of an existing
  // file, and puts the file in place whole or not at all.
  void Save(const std::string& folderPath) const;

  friend bool operator==(const TFolderProperties&, const TFolderProperties&) = default;
};

// ---- errors ----

class ESmetaStorageDocumentIsReadonly;
class ESmetaStorageFolderPropertiesNotSupported;

class ESmetaStorageError : public Exception {
  KV_CLASS_INFO()
 public:
  using Exception::Exception;

  // Raise "Элемент не найден", or "Элемент \"%s\" не найден" naming the item.
  [[noreturn]] static void ItemNotFound();
  [[noreturn]] static void ItemNotFound(const std::string& itemTitle);
  // Raises "Документ \"%s\" уже открыт другим пользователем".
  [[noreturn]] static void DocumentIsLocked(const std::string& docTitle);
  // The error for a write to a read-only item, for the caller to raise.
  static ESmetaStorageDocumentIsReadonly ItemIsReadOnly(const std::string& title,
                                                        const std::string& confirmMessage);
  // "Свойства у папок не поддерживаются", for the caller to raise.
  static ESmetaStorageFolderPropertiesNotSupported FolderPropertiesNotSupported();
};

class ESmetaStorageDocumentIsReadonly : public ESmetaStorageError {
  KV_CLASS_INFO()
 public:
  ESmetaStorageDocumentIsReadonly(std::string message, std::string confirmMessage);
  // A question a caller may ask before retrying elsewhere; may be empty.
  const std::string& ConfirmMessage() const { return FConfirmMessage; }

 private:
  std::string FConfirmMessage;
};

KV_DECLARE_EXCEPTION(ESmetaStorageFolderPropertiesNotSupported, ESmetaStorageError)

// An entry used after its storage was destroyed.
KV_DECLARE_EXCEPTION(ESmetaStorageClosed, ESmetaStorageError)

// ---- the tree ----

class ISmetaStorageEntry : public IInterface {
 public:
  static constexpr TGUID IID{
      0x2F9A581C, 0xB95C, 0x4FA2, {0x9A, 0xE7, 0x28, 0x4F, 0x5E, 0xB0, 0x7C, 0xE2}};
  // The display text of the entry.
  virtual std::string GetDescription() = 0;
  // The entry's name within its folder.
  virtual std::string GetShortPath() = 0;
  // The modifying operations of an entry; a read-only storage refuses them.
  virtual void ChangeOperation1() = 0;
  virtual TDateTime GetDateCreate() = 0;
  virtual TDateTime GetDateChange() = 0;
  virtual void ChangeOperation2() = 0;
  virtual void ChangeOperation3() = 0;

 protected:
  ~ISmetaStorageEntry() = default;
};

using TSmetaStorageEntries = std::vector<TIntfPtr<ISmetaStorageEntry>>;

class ISmetaStorageFolder : public ISmetaStorageEntry {
 public:
  static constexpr TGUID IID{
      0xD9ADEA0A, 0xEB53, 0x4493, {0x9F, 0xC2, 0x25, 0xBB, 0x2D, 0x4A, 0x29, 0x3C}};
  // Whether the folder may have children.
  virtual bool GetHasSubItems() = 0;
  virtual TFolderProperties GetProperies() = 0;
  virtual void SetProperties(const TFolderProperties& value) = 0;
  virtual TIntfPtr<ISmetaStorageFolder> CreateFolder(const std::string& description) = 0;
  virtual TIntfPtr<ISmetaStorageDocument> CreateDocument(
      const std::string& description, const TKvDocCommonProperties& properties) = 0;
  virtual TIntfPtr<ISmetaStorageExternalDocument> CreateExternalDocument(
      const std::string& description, TStream& data) = 0;
  virtual TSmetaStorageEntries LoadChildItems() = 0;
  virtual TIntfPtr<ISmetaStorageEntry> FindEntry(const std::string& shortPath) = 0;

 protected:
  ~ISmetaStorageFolder() = default;
};

// A document of the client's own types.
class ISmetaStorageDocument : public ISmetaStorageEntry {
 public:
  static constexpr TGUID IID{
      0x831B2F0C, 0xBDA5, 0x4021, {0x91, 0x43, 0x57, 0x48, 0xE5, 0x0F, 0x3B, 0x48}};
  virtual bool IsLocked() = 0;
  virtual TKvDocCommonProperties GetProperties() = 0;
  // Takes the document for editing; Unlock releases it.
  virtual void Lock() = 0;
  virtual void Unlock() = 0;
  // The document's content, positioned at its start.
  virtual std::unique_ptr<TStream> CreateReadStream() = 0;
  // Stores new content with its properties on Flush.
  virtual std::unique_ptr<TSmetaStorageDocumentWriteStream> CreateWriteStream() = 0;

 protected:
  ~ISmetaStorageDocument() = default;
};

// A file of another program.
class ISmetaStorageExternalDocument : public ISmetaStorageEntry {
 public:
  static constexpr TGUID IID{
      0xDC0F7390, 0xBBC2, 0x44D2, {0x87, 0xB6, 0x32, 0xA6, 0x61, 0x7A, 0xE5, 0x68}};
  // Copies the content into data.
  virtual void ReadData(TStream& data) = 0;
  // Opens the document in its own program.
  virtual void Edit() = 0;

 protected:
  ~ISmetaStorageExternalDocument() = default;
};

// Answers the storage object behind an interface.
class ISmetaStorageReferense : public IInterface {
 public:
  static constexpr TGUID IID{
      0x71378574, 0x93F8, 0x4E54, {0xBB, 0x73, 0x21, 0xEC, 0x51, 0xBE, 0xE3, 0xB1}};
  virtual TSmetaStorage* GetStorage() = 0;

 protected:
  ~ISmetaStorageReferense() = default;
};

// ---- the storage ----

// The class operations of TSmetaStorage and its descendants.
class TSmetaStorageClass : public TClass {
 public:
  using TClass::TClass;

  // The connection class this storage serves.
  virtual const TConnectionClass& ConnectionClass() const;
  // The virtual constructor.
  virtual std::unique_ptr<TSmetaStorage> Create(TConnection& connection) const;
  // Registers the class with TSmetaStorageFactory.
  void RegisterSelf() const;

 protected:
  // Raises the assertion failure of an abstract class operation called on this class.
  [[noreturn]] void Abstract(const char* operation) const;
};

// The metaclass of a storage class S serving connections of class C (and its descendants).
template <class S, class C>
class TSmetaStorageClassOf : public TSmetaStorageClass {
 public:
  using TSmetaStorageClass::TSmetaStorageClass;
  const TConnectionClass& ConnectionClass() const override { return C::ClassInfo(); }
  std::unique_ptr<TSmetaStorage> Create(TConnection& connection) const override {
    return std::unique_ptr<TSmetaStorage>(New<S>(connection));
  }
};

// What entries keep of their storage: it answers the storage while the storage lives and raises
// ESmetaStorageClosed after, so that an entry that outlives its storage never reaches freed
// memory.
class TSmetaStorageLink {
 public:
  TSmetaStorageLink() = default;
  bool IsAlive() const { return FStorage && *FStorage; }
  TSmetaStorage& Get() const;

 private:
  friend class TSmetaStorage;
  explicit TSmetaStorageLink(std::shared_ptr<TSmetaStorage* const> storage)
      : FStorage(std::move(storage)) {}
  std::shared_ptr<TSmetaStorage* const> FStorage;
};

// A document storage bound to one data source, which it does not own. Created with New and kept
// by its owner (a persistent object): interface references that outlive it keep only its memory.
class TSmetaStorage : public TFlexiblePersistInterfacedObject, public ISmetaStorageReferense {
  KV_INTERFACED_OBJECT()
 public:
  static const TSmetaStorageClass& ClassInfo();
  const TSmetaStorageClass& ClassType() const override { return ClassInfo(); }

  ~TSmetaStorage() override;

  TSmetaStorage* GetStorage() override { return this; }

  // The image index of the root for image kind 0 (small), 1 (large) or 2 (tile).
  virtual int32_t GetImageIndex(int32_t imageKind) = 0;
  virtual bool IsReadOnly() { return false; }
  // The children of the root.
  virtual TSmetaStorageEntries LoadChildItems() = 0;
  virtual TIntfPtr<ISmetaStorageEntry> FindEntry(const std::string& shortPath) = 0;
  virtual TIntfPtr<ISmetaStorageFolder> CreateFolder(const std::string& description) = 0;
  virtual TIntfPtr<ISmetaStorageDocument> CreateDocument(
      const std::string& description, const TKvDocCommonProperties& properties) = 0;
  virtual TIntfPtr<ISmetaStorageExternalDocument> CreateExternalDocument(
      const std::string& description, TStream& data) = 0;

  const TConnectionClass& ConnectionClass() const { return ClassType().ConnectionClass(); }
  TConnection& Connection() const { return FConnection; }
  // The connection's caption.
  std::string RootDisplayName() const;
  int32_t RootImageIndex() { return GetImageIndex(0); }
  int32_t RootLargeImageIndex() { return GetImageIndex(1); }
  int32_t RootTileImageIndex() { return GetImageIndex(2); }
  // Extensions of external documents: sorted, letter case ignored, each once.
  const std::vector<std::string>& ExternalFileExts() const { return FExternalFileExts; }
  // Adds an extension unless it is there already (letter case ignored).
  void AddExternalFileExt(const std::string& ext);
  void ClearExternalFileExts() { FExternalFileExts.clear(); }

  // A link for entries to keep (see TSmetaStorageLink).
  TSmetaStorageLink Link() const { return TSmetaStorageLink(FSelf); }

 protected:
  // Requires the connection to be of connectionClass or a descendant (an assertion).
  TSmetaStorage(TConnection& connection, const TConnectionClass& connectionClass);

  bool GetInterface(const TGUID& iid, void** obj) noexcept override;

 private:
  TConnection& FConnection;
  std::vector<std::string> FExternalFileExts;
  // Cleared by the destructor; shared with every link.
  std::shared_ptr<TSmetaStorage*> FSelf;
};

// A storage for connections of class C: its typed Connection. A descendant serving a descendant
// of C passes its own connection class on.
template <class C>
class TSmetaStorageOf : public TSmetaStorage {
 public:
  C& Connection() const { return static_cast<C&>(TSmetaStorage::Connection()); }

 protected:
  explicit TSmetaStorageOf(TConnection& connection,
                           const TConnectionClass& connectionClass = C::ClassInfo())
      : TSmetaStorage(connection, RequireDescendant(connectionClass)) {}

 private:
  static const TConnectionClass& RequireDescendant(const TConnectionClass& connectionClass) {
    Assert(connectionClass.InheritsFrom(C::ClassInfo()),
           "Modules\\KalvorSmeta\\Common\\Kv_SmetaStorage.Types", __LINE__);
    return connectionClass;
  }
};

// The stream through which a document's new content is written; Flush commits the content
// together with Properties. TStreamHelper gives it the typed reads and writes.
class TSmetaStorageDocumentWriteStream : public TStream {
  KV_CLASS_INFO()
 public:
  const TKvDocCommonProperties& Properties() const { return FProperties; }
  void SetProperties(const TKvDocCommonProperties& value) { FProperties = value; }
  virtual void Flush() = 0;

 protected:
  TKvDocCommonProperties FProperties;
};

// The process-wide registry of storage classes, filled when their modules initialise.
class TSmetaStorageFactory {
 public:
  class Exception : public kv::Exception {
    KV_CLASS_INFO()
   public:
    using kv::Exception::Exception;
    // "TSmetaStorageClass for \"%s\" (class %s) not registered" with the connection's caption and
    // class name.
    static Exception StorageClassNotFound(const TConnection& connection);
  };

  TSmetaStorageFactory() = delete;

  // Registers the storage class and its connection class (with TConnectionsFactory). A class
  // registered twice raises EListError.
  static void Register(const TSmetaStorageClass& storageClass);
  // Takes the class out, if it is there; for code that registered a class of its own for a while.
  static void Unregister(const TSmetaStorageClass& storageClass);
  // A new storage of the registered class serving the closest ancestor of the connection's class
  // (its own class first); between classes serving the same connection class, the first
  // registered. Raises StorageClassNotFound when none serves it.
  static std::unique_ptr<TSmetaStorage> CreateStorage(TConnection& connection);
};

}  // namespace kv
