#pragma once
// Where option readers and writers come from.

#include <string>

#include "options/Common.OptionsStorage.h"

namespace kv {

class TOptionsStorageFactory {
 public:
  TOptionsStorageFactory() = delete;

  // A reader of the option file, which need not exist; a file that does not load raises
  // EInvalidXMLFile.
  static TIntfPtr<IOptionsReader> CreateReader(const std::string& xmlFileName);
  // A writer of the option file; nothing reaches the disk before Save. In rewriteMode the file
  // keeps only what is written afterwards.
  static TIntfPtr<IOptionsWriter> CreateWriter(const std::string& xmlFileName, bool rewriteMode);
};

}  // namespace kv
