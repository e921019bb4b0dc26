// libFuzzer target: arbitrary bytes as a simple database container, read by the one-shot lookup
// over a memory stream and by the full reader over a file. Either refuses the container with
// EKVSimpleDBase64, or every item reads as its size says or is refused on its own; lookups by
// name give the item of that name.

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "common/Common.Helpers.Classes.h"
#include "common/Common.KVSimpleDBase64.h"
#include "platform/Files.h"

namespace {

using namespace kv;

void Check(bool condition) {
  if (!condition) {
    std::abort();
  }
}

const std::string& FileName() {
  static const std::string name = [] {
    const std::string folder = platform::TempFolder() + "kv_fuzz_" + std::to_string(::getpid());
    platform::ForceDirectories(folder);
    return folder + "/base.sdb";
  }();
  return name;
}

void FastLookup(const uint8_t* data, size_t size) {
  TMemoryStream file;
  file.WriteBuffer(data, static_cast<int64_t>(size));
  for (const char* name : {"Info", ""}) {
    TMemoryStream target;
    try {
      if (!TKVSimpleDBaseReader64::FastGetItemData(file, name, "fuzz", target)) {
        Check(target.Size() == 0);
      }
    } catch (const EKVSimpleDBase64&) {
    } catch (const EStreamError&) {
    }
  }
}

void ReadItem(TKVSimpleDBaseReader64& reader, int32_t index) {
  try {
    TMemoryStream data;
    reader.GetItemData(index, data);
    Check(data.Size() == reader.GetItemDataSize(index));
    const auto stream = reader.CreateItemStream(index, static_cast<TReaderType>(index % 3));
    char buffer[256];
    int64_t total = 0;
    for (int64_t read; (read = stream->Read(buffer, sizeof buffer)) > 0;) {
      total += read;
    }
    Check(total == reader.GetItemDataSize(index));
  } catch (const EKVSimpleDBase64&) {
  }
}

void FullReader(const uint8_t* data, size_t size) {
  platform::OpenFile(FileName(), platform::TFileOpenMode::Create)
      ->Write(data, static_cast<int64_t>(size));
  try {
    TKVSimpleDBaseReader64 reader(FileName(), size % 2 == 0);
    for (uint32_t i = 0; i < reader.RecordCount(); ++i) {
      const auto index = static_cast<int32_t>(i);
      const int32_t found = reader.GetIndexFromName(reader.GetItemName(index), false);
      Check(found == -1 || reader.GetItemName(found) == reader.GetItemName(index));
      TMemoryStream work;
      reader.GetItemWorkData(index, work);
      Check(work.Size() == reader.GetItemWorkDataSize(index));
      ReadItem(reader, index);
    }
  } catch (const EKVSimpleDBase64&) {
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FastLookup(data, size);
  FullReader(data, size);
  return 0;
}
