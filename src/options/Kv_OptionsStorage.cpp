#include "options/Kv_OptionsStorage.h"

#include "options/Common.OptionsStorage.XML.h"

namespace kv {

TIntfPtr<IOptionsReader> TOptionsStorageFactory::CreateReader(const std::string& xmlFileName) {
  return TIntfPtr<IOptionsReader>(New<TXmlOptionsReader>(xmlFileName));
}

TIntfPtr<IOptionsWriter> TOptionsStorageFactory::CreateWriter(const std::string& xmlFileName,
                                                              bool rewriteMode) {
  TIntfPtr<IOptionsWriter> writer(New<TXmlOptionsWriter>(xmlFileName));
  if (rewriteMode) {
    writer->Clear();
  }
  return writer;
}

}  // namespace kv
