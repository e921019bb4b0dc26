// libFuzzer target: arbitrary bytes as an option file. A reader either refuses the file with
// EInvalidXMLFile or reads through every key; a writer over the same file either refuses the
// file's encoding or saves a file that reads again and gives back the string it was given.

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "options/Common.XMLUtils.h"
#include "options/Kv_OptionsStorage.h"
#include "platform/Files.h"
#include "platform/Text.h"

namespace {

using namespace kv;

const std::string& FileName() {
  static const std::string name = [] {
    const std::string folder = platform::TempFolder() + "kv_fuzz_" + std::to_string(::getpid());
    platform::ForceDirectories(folder);
    return folder + "/options.xml";
  }();
  return name;
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
  platform::OpenFile(FileName(), platform::TFileOpenMode::Create)
      ->Write(bytes.data(), static_cast<int64_t>(bytes.size()));
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
