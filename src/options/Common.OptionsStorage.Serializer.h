#pragma once
// Saves an object's properties into an option key and restores them from one, driven by the
// class's property descriptions.

#include <string>
#include <vector>

#include "base/Object.h"
#include "options/Common.OptionsStorage.h"

namespace kv {

class TOptionsSerializer {
 public:
  // Stores every property that takes part (public or published, writable, not marked
  // TNotSerializeAttribute) under its own name in the writer's key.
  static void SerializeObject(IOptionsWriter& writer, const TObject& object);
  // Restores every property that takes part and calls its setter, with the current value when
  // the key holds nothing for it.
  static void DeserializeObject(IOptionsReader& reader, TObject& object);
  // The names under which SerializeObject stores the object's properties.
  static std::vector<std::string> StoredNames(const TObject& object);
};

}  // namespace kv
