// kvtool: the console tool over the library (see README, "kvtool").

#include <iostream>

#include "kvtool/KvTool.h"
#include "platform/System.h"

int main() {
  return kv::tool::RunKvTool(kv::platform::CommandLineArgs(), std::cout, std::cerr);
}
