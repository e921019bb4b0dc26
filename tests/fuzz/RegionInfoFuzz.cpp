// libFuzzer target: arbitrary bytes as a base's descriptor and as a text base code. The
// descriptor either is refused with the library's exception or reads as a code of at most five
// digits, a finite date and texts for every byte; its open mask matches without blowing up, and
// what is saved reads back with the same numbers. A text code is refused or has a price level and
// five digits.

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "common/Common.Classes.h"
#include "common/NBData.Region.Types.h"

namespace {

using namespace kv;

void Check(bool condition) {
  if (!condition) {
    std::abort();
  }
}

void ReadDescriptor(const uint8_t* data, size_t size) {
  TMemoryStream stream;
  stream.WriteBuffer(data, static_cast<int64_t>(size));
  stream.SetPosition(0);
  TNB_InfoStruct info;
  try {
    info.LoadFromStream(stream);
  } catch (const Exception&) {
    return;
  }
  Check(info.Code.Code >= 0 && info.Code.Code <= 99999);
  Check(std::isfinite(info.CreationDate));
  Check(!PublisherText(info.Publidher).empty());
  Check(info.GetPropsStrings()->Count() == 7);
  info.IsMatchForMainDbCode(info.Code, info.OpenMask);

  TMemoryStream saved;
  info.SaveToStream(saved);
  saved.SetPosition(0);
  TNB_InfoStruct back;
  back.LoadFromStream(saved);
  // Texts are saved in the code page, so only a UTF-16 text read from the file may change.
  Check(back.Code == info.Code && back.CreationDate == info.CreationDate &&
        back.Publidher == info.Publidher && back.Year == info.Year &&
        back.ReleaseNumber == info.ReleaseNumber && back.CRC32 == info.CRC32 && back.HasCrc32);
}

void ParseTextCode(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  TNBRegionCode code;
  try {
    code.SetDBCode(text);
  } catch (const ERegionCodeError&) {
    return;
  }
  Check(code.Year == 1 || code.Year == 2);
  Check(code.Code >= 0 && code.Code <= 99999);
  Check(TNBRegionCode::FromString(code.DBCode("NB")) == code);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  ReadDescriptor(data, size);
  ParseTextCode(data, size);
  return 0;
}
