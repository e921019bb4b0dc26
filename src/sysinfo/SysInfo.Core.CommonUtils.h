#pragma once
// Support routines of the installed-product information: portable mode, registry strings of the
// local machine, the write probe of a folder and byte sizes as text.

#include <cstdint>
#include <string>
#include <vector>

#include "platform/Xml.h"

namespace kv {

// Results of PortableMode.
constexpr int kNormalMode = 0;
constexpr int kPortableMode = 2;

// kPortableMode when one of the arguments is the switch "portable" after '-' or '/' (the whole
// argument, letter case ignored); kNormalMode otherwise.
int PortableMode(const std::vector<std::string>& args);
// The same over the program's own arguments.
int PortableMode();

// The string value of a key under the local-machine root in the view a 32-bit program sees by
// default; empty when the key or the value is missing.
std::string ReadLocalMachineString(const std::string& key, const std::string& name);
// The same in the 64-bit view.
std::string ReadLocalMachineString64(const std::string& key, const std::string& name);

// Whether a file can be created in the folder: creates "CheckFolderWritePrivilege.bin" there and
// deletes it again.
bool CheckFolderWritePrivilege(const std::string& folder);

// A byte count in the largest of байт, Кбайт, Мбайт, Гбайт and Тбайт that keeps the truncated
// number at or above 1 ("1023 Кбайт").
std::string FormatByteSize(int64_t size);

// The text of an element's attribute with its line breaks as CR LF; empty when it is absent.
std::string GetNodeAttributeText(const platform::TXmlNode& node, const std::string& name);

}  // namespace kv
