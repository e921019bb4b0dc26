#include "options/Kv_OptionsStorage.h"

#include "options/Common.OptionsStorage.XML.h"

namespace kv {

TIntfPtr<IOptionsReader> TOptionsStorageFactory::CreateReader(const std::string& XmlFileName) {
  return TIntfPtr<IOptionsReader>(New<TXmlOptionsReader>(XmlFileName));
}

TIntfPtr<IOptionsWriter> TOptionsStorageFactory::CreateWriter(const std::string& XmlFileName,
                                                              bool RewriteMode) {
  TIntfPtr<IOptionsWriter> writer(New<TXmlOptionsWriter>(XmlFileName));
  if (RewriteMode) {
    writer->Clear();
  }
  return writer;
}

}  // namespace kv
