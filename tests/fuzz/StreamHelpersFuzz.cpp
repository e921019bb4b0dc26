// libFuzzer target: arbitrary bytes read through the stream helpers and the filer. The first byte
// picks the reading, which repeats until the stream ends or refuses its bytes with one of the
// library's exceptions. A variant read writes again and reads back equal; nothing else crashes,
// hangs or allocates more than the bytes justify (run with -malloc_limit_mb).

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <string>

#include "common/Common.Filer.h"
#include "common/Common.Helpers.Classes.h"

namespace {

using namespace kv;

void Check(bool condition) {
  if (!condition) {
    std::abort();
  }
}

void RoundTripVariant(TStreamHelper& helper) {
  const TVariant value = helper.ReadVariant();
  TMemoryStream copy;
  TStreamHelper(copy).WriteVariant(value);
  copy.SetPosition(0);
  Check(TStreamHelper(copy).ReadVariant() == value);
  Check(TStreamHelper(copy).EOS());
}

// Reads a filer structure of its own: a list of tagged strings with a signature after it.
class TFilerObject : public TFlexiblePersistInterfacedObject, public IVersionedStreamPersist {
  KV_INTERFACED_OBJECT()
 public:
  int32_t GetVersion() override { return 1; }
  void SaveToStream(TStream&) override {}
  void LoadFromStream(TStream& stream, int32_t) override {
    TKvFiler filer(&stream, false);
    filer.ReadListBegin();
    while (!filer.EOL()) {
      filer.ReadString();
      filer.ReadNextItem();
    }
    filer.ReadListEnd();
    filer.CheckSignature(0x5A);
  }
};

void ReadOnce(uint8_t selector, TStream& stream) {
  TStreamHelper helper(stream);
  TKvFiler filer(&stream, false);
  switch (selector % 16) {
    case 0:
      helper.ReadString();
      break;
    case 1:
      helper.ReadString16();
      break;
    case 2:
      helper.ReadFilerString();
      break;
    case 3: {
      TStringList list;
      helper.ReadTStrings(list);
      break;
    }
    case 4:
      helper.ReadListInteger();
      break;
    case 5: {
      TMemoryStream dest;
      helper.ReadStream(dest);
      break;
    }
    case 6: {
      TMemoryStream dest;
      TStreamHelper(dest).LoadFromStreamBySize(stream);
      break;
    }
    case 7:
      helper.SkipString();
      break;
    case 8:
      stream.SetPosition(helper.ReadHeader());
      break;
    case 9:
      RoundTripVariant(helper);
      break;
    case 10: {
      const std::unique_ptr<TFilerObject> object(New<TFilerObject>());
      helper.LoadVersionedObject(*object);
      break;
    }
    case 11:
      helper.CheckSignature("SDB");
      break;
    case 12:
      helper.ReadExtended();
      break;
    case 13:
      filer.ReadString();
      break;
    case 14:
      filer.ReadListBegin();
      while (!filer.EOL()) {
        filer.ReadStringW();
        filer.ReadNextItem();
      }
      filer.ReadListEnd();
      break;
    default:
      filer.ReadBoolean();
      filer.ReadGuid();
      filer.ReadStringA();
      break;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) {
    return 0;
  }
  TMemoryStream stream;
  stream.WriteBuffer(data + 1, static_cast<int64_t>(size - 1));
  stream.SetPosition(0);
  try {
    while (!TStreamHelper(stream).EOS()) {
      const int64_t before = stream.Position();
      ReadOnce(data[0], stream);
      // Every reading moves forward.
      Check(stream.Position() > before);
    }
  } catch (const Exception&) {
  }
  return 0;
}
