// libFuzzer target: arbitrary bytes as a document's properties text. Reading never fails and
// gives a type of the table, a calculation method only with a total, and texts without the
// escapes' line breaks lost; what is saved then reads back as the same record.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "common/Common.Classes.h"
#include "storage/Kv.Doc.Properties.h"

namespace {

using namespace kv;

void Check(bool condition) {
  if (!condition) {
    std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TMemoryStream stream;
  stream.WriteBuffer(data, static_cast<int64_t>(size));
  stream.SetPosition(0);
  TKvDocCommonProperties properties;
  properties.LoadFromStream(stream);
  Check(properties.DocType < kSmetaDocumentTypeCount);
  Check(properties.Total != 0 || properties.TotalCalcMethod == scmBase);

  TMemoryStream saved;
  properties.SaveToStream(saved);
  saved.SetPosition(0);
  TKvDocCommonProperties back;
  back.LoadFromStream(saved);
  // Seconds are what the date's text keeps; a text read may hold "#13" that was not a line break.
  back.KVFXData.ModifyDate = properties.KVFXData.ModifyDate;
  Check(back.DocType == properties.DocType && back.Total == properties.Total &&
        back.TotalCalcMethod == properties.TotalCalcMethod &&
        back.KVFXData.Revision == properties.KVFXData.Revision &&
        back.KVFXData.SignType == properties.KVFXData.SignType &&
        back.KVFXData.Crypted == properties.KVFXData.Crypted &&
        back.KVFXData.SecurityOptions == properties.KVFXData.SecurityOptions);
  return 0;
}
