#pragma once
// The "no value" marker that nullable values and shared pointers are compared with and
// assigned from.

namespace kv {

struct TNull {};

}  // namespace kv
