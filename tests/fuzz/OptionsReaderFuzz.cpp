// libFuzzer target: arbitrary bytes as an option file. A reader either refuses the file with
// EInvalidXMLFile or reads through every key; a writer over the same file either refuses the
// file's encoding or saves a file that reads again and gives back the string it was given. The
// same bytes as the client's Connections.xml: a pool that loads them saves what it loaded and
// kept, and that file loads to the same connections and saves again to the same bytes.

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "common/Common.SysUtils.h"
#include "options/Common.XMLUtils.h"
#include "options/Kv_OptionsStorage.h"
#include "platform/Files.h"
#include "platform/Text.h"
#include "storage/Kv_Storage.ConnectionPool.h"
#include "support/FakeShellFolders.h"
#include "sysinfo/SysInfo.Core.Smeta9.h"

namespace {

using namespace kv;

const std::string& Folder() {
  static const std::string folder = [] {
    std::string name = platform::TempFolder() + "kv_fuzz_" + std::to_string(::getpid());
    platform::ForceDirectories(name);
    return name;
  }();
  return folder;
}

const std::string& FileName() {
  static const std::string name = Folder() + "/options.xml";
  return name;
}

void WriteBytes(const std::string& fileName, const std::string& bytes) {
  platform::OpenFile(fileName, platform::TFileOpenMode::Create)
      ->Write(bytes.data(), static_cast<int64_t>(bytes.size()));
}

std::string ReadBytes(const std::string& fileName) {
  const auto file = platform::OpenFile(fileName, platform::TFileOpenMode::OpenRead);
  std::string bytes(static_cast<size_t>(file->Size()), '\0');
  bytes.resize(static_cast<size_t>(file->Read(bytes.data(), std::ssize(bytes))));
  return bytes;
}

std::vector<std::string> Captions(const TConnectionsPool& pool) {
  std::vector<std::string> captions;
  for (const TConnection* connection : pool.Connections()) {
    captions.push_back(connection->ClassType().ClassID() + " " + connection->Caption());
  }
  return captions;
}

void LoadAndSavePool(const std::string& bytes) {
  static test::FakeSpecialFolders folders;
  static const platform::TScopedCurrent<platform::ISpecialFolders> scope(folders);
  folders.Set(platform::TSpecialFolder::AppData, Folder());
  const std::string fileName = TSmeta9Information32::ClassInfo().ConnectionOptionsFilename();
  platform::ForceDirectories(ExtractFileDir(fileName));
  WriteBytes(fileName, bytes);

  TConnectionsPool pool;
  try {
    pool.LoadFromOptionsStorage(false);
  } catch (const EInvalidXMLFile&) {
    return;
  }
  try {
    pool.SaveToOptionsStorage();
  } catch (const platform::EXmlSaveError&) {
    return;
  }
  // The first saves may change what the file meant: a repeated key becomes an entry of its own,
  // which the next load reads, giving it an identity and the defaults of what it lacked (an empty
  // set of usages is not stored). From then on, loading and saving change nothing.
  std::vector<std::string> captions;
  std::string saved;
  for (int round = 0; round < 3; ++round) {
    TConnectionsPool reloaded;
    reloaded.LoadFromOptionsStorage(false);
    reloaded.SaveToOptionsStorage();
    if (round == 2 && (Captions(reloaded) != captions || ReadBytes(fileName) != saved)) {
      std::abort();
    }
    captions = Captions(reloaded);
    saved = ReadBytes(fileName);
  }
}

// Reads every value that the names of a key's children could name, and walks down the children,
// within a budget of keys.
void ReadKey(IOptionsReader& reader, int& budget) {
  for (const std::string& name : reader.GetSubkeyNames()) {
    if (--budget < 0) {
      return;
    }
    reader.ReadString(name, "");
    reader.ReadInteger(name, 0);
    reader.ReadFloat(name, 0);
    reader.ValueExists(name);
    try {
      reader.ReadBoolean(name, false);
    } catch (const EConvertError&) {
    }
    ReadKey(*reader.OpenSubkey(name), budget);
  }
}

void ReadFile() {
  int budget = 10000;
  ReadKey(*TOptionsStorageFactory::CreateReader(FileName()), budget);
}

bool IsUtf8(const std::string& text) {
  return platform::Utf16ToUtf8(platform::Utf8ToUtf16(text)) == text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  LoadAndSavePool(bytes);
  WriteBytes(FileName(), bytes);
  try {
    ReadFile();
  } catch (const EInvalidXMLFile&) {
  }

  const auto writer = TOptionsStorageFactory::CreateWriter(FileName(), false);
  writer->OpenSubkey("Fuzz\\Key")->WriteString("Value", bytes, "");
  try {
    writer->Save();
  } catch (const platform::EXmlSaveError&) {
    return 0;
  }
  ReadFile();
  const std::string read = TOptionsStorageFactory::CreateReader(FileName())
                               ->OpenSubkey("Fuzz\\Key")
                               ->ReadString("Value", "");
  if (IsUtf8(bytes) && !bytes.empty() && read != RemoveInvalidXMLChars(bytes)) {
    std::abort();
  }
  return 0;
}
