#pragma once
// Plain-text files: a byte-order mark selects UTF-8, UTF-16LE or UTF-16BE, and text without one
// is in the ANSI code page.

#include <string>
#include <string_view>

#include "common/StringList.h"

namespace kv {

// The file's bytes as UTF-8 text, the byte-order mark dropped; undecodable sequences become
// U+FFFD.
std::string DecodeText(std::string_view bytes);
// The lines of the text, broken at CR LF, LF or CR; a break at the very end starts no line.
TStringList SplitLines(std::string_view text);
// The lines of the file; raises EOSError when it cannot be read.
TStringList LoadLinesFromFile(const std::string& path);

}  // namespace kv
