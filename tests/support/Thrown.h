#pragma once
// The message of the exception a call raises, checked to be of the expected class.

#include <gtest/gtest.h>

#include <string>

namespace kv::test {

// The message of the E the call raises; a test failure and "" when it raises nothing or another
// class.
template <class E, class F>
std::string MessageOf(F&& call) {
  try {
    call();
  } catch (const E& e) {
    return e.Message();
  } catch (const std::exception& e) {
    ADD_FAILURE() << "another exception: " << e.what();
    return {};
  }
  ADD_FAILURE() << "nothing raised";
  return {};
}

}  // namespace kv::test
