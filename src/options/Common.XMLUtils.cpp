#include "options/Common.XMLUtils.h"

#include <charconv>
#include <exception>

#include "base/Format.h"
#include "base/Rtti.h"
#include "platform/Text.h"

namespace kv {

KV_DEFINE_CLASS(EInvalidXMLData, "EInvalidXMLData", ExceptionEx)
KV_DEFINE_CLASS(EXMLNodeNotFound, "EXMLNodeNotFound", EInvalidXMLData)
KV_DEFINE_CLASS(EWrongMSXML, "EWrongMSXML", Exception)
KV_DEFINE_CLASS(EInvalidXMLFile, "EInvalidXMLFile", ExceptionEx)

namespace {

constexpr const char* kModule = "lib\\Common\\Common.XMLUtils";

std::string_view TrimSpaces(std::string_view text) {
  const size_t first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) {
    return {};
  }
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

std::string_view WithoutPlus(std::string_view text) {
  if (text.size() > 1 && text[0] == '+' && text[1] != '-') {
    text.remove_prefix(1);
  }
  return text;
}

bool TryTextToInteger(std::string_view text, int32_t& value) {
  text = WithoutPlus(TrimSpaces(text));
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  return error == std::errc() && end == text.data() + text.size() && !text.empty();
}

// The user's decimal separator only: in another locale's form a separator may stand for
// thousands, which would read as another number.
bool TryTextToFloat(std::string_view text, double& value) {
  std::string number(WithoutPlus(TrimSpaces(text)));
  const std::string separator = platform::DecimalSeparator();
  if (separator != "." && number.find('.') != std::string::npos) {
    return false;
  }
  if (const size_t point = number.find(separator); point != std::string::npos) {
    number.replace(point, separator.size(), ".");
  }
  const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), value);
  return error == std::errc() && end == number.data() + number.size() && !number.empty();
}

// The shortest text that reads back as the same double, with the user's decimal separator.
std::string FloatToText(long double value) {
  char buffer[64];
  const auto [end, error] =
      std::to_chars(buffer, buffer + sizeof buffer, static_cast<double>(value));
  std::string text(buffer, end);
  if (const size_t point = text.find('.'); point != std::string::npos) {
    text.replace(point, 1, platform::DecimalSeparator());
  }
  return text;
}

bool TextToBoolean(const std::string& text) {
  if (platform::SameTextLocale(text, "true")) {
    return true;
  }
  if (platform::SameTextLocale(text, "false")) {
    return false;
  }
  double number = 0;
  if (TryTextToFloat(text, number)) {
    return number != 0;
  }
  throw EConvertError("Could not convert variant of type (String) into type (Boolean)");
}

}  // namespace

EInvalidXMLFile EInvalidXMLFile::Create4FileName(const std::string& fileName) {
  return EInvalidXMLFile(Format("Файл \"%s\" имеет некорректный формат", fileName));
}

EInvalidXMLFile EInvalidXMLFile::InvalidRootNodeName(const std::string& factNodeName,
                                                     const std::string& expectedNodeName) {
  return EInvalidXMLFile(Format("Считано имя корневого узла \"%s\", ожидалось \"%s\"", factNodeName,
                                expectedNodeName));
}

EInvalidXMLFile EInvalidXMLFile::EmptyData() {
  return EInvalidXMLFile("Отсутствуют данные в XML-документе");
}

TXmlDocument LoadXMLFile(const std::string& fileName) {
  try {
    return TXmlDocument::LoadFromFile(fileName);
  } catch (...) {
    HandleInvalidMSXMLVersionError();
    HandleLoadXmlFileError(fileName);
  }
}

void LoadXMLIntoDocument(TXmlDocument& doc, const std::string& fileName) {
  try {
    doc.Load(fileName);
  } catch (...) {
    HandleInvalidMSXMLVersionError();
    HandleLoadXmlFileError(fileName);
  }
}

TXmlDocument LoadXMLFromBytes(std::string_view bytes) {
  return TXmlDocument::LoadFromBytes(bytes);
}

std::string ReadNodeText(const TXmlNode& node, const std::string& defaultValue) {
  return node ? node.Text() : defaultValue;
}

std::string ReadAttributeString(const TXmlNode& node, const std::string& name,
                                const std::string& defaultValue) {
  return node.Attribute(name).value_or(defaultValue);
}

std::string ReadRequiredAttribute(const TXmlNode& node, const std::string& name, bool required) {
  std::string value = node.Attribute(name).value_or("");
  if (required && value.empty()) {
    throw EInvalidXMLData(
        Format("Обязательный параметр \"%s\" отсутствует в узле \"%s\"", name, node.Name()));
  }
  return value;
}

int32_t ReadAttributeInteger(const TXmlNode& node, const std::string& name, int32_t defaultValue) {
  const auto text = node.Attribute(name);
  int32_t value = 0;
  return text && TryTextToInteger(*text, value) ? value : defaultValue;
}

bool ReadAttributeBoolean(const TXmlNode& node, const std::string& name, bool defaultValue) {
  const auto text = node.Attribute(name);
  return text ? TextToBoolean(*text) : defaultValue;
}

long double ReadAttributeFloat(const TXmlNode& node, const std::string& name,
                               long double defaultValue) {
  const auto text = node.Attribute(name);
  double value = 0;
  return text && TryTextToFloat(*text, value) ? value : defaultValue;
}

void WriteAttributeString(TXmlNode& node, const std::string& name, const std::string& value,
                          const std::string& defaultValue) {
  if (value != defaultValue) {
    node.SetAttribute(name, RemoveInvalidXMLChars(value));
  }
}

void WriteAttributeInteger(TXmlNode& node, const std::string& name, int32_t value,
                           int32_t defaultValue) {
  if (value != defaultValue) {
    node.SetAttribute(name, std::to_string(value));
  }
}

void WriteAttributeBoolean(TXmlNode& node, const std::string& name, bool value) {
  node.SetAttribute(name, value ? "true" : "false");
}

void WriteAttributeFloat(TXmlNode& node, const std::string& name, long double value) {
  node.SetAttribute(name, FloatToText(value));
}

std::string RemoveInvalidXMLChars(const std::string& s) {
  // U+FFFE and U+FFFF, which no XML file can carry either: a value holding them would make the
  // whole file unwritable.
  static constexpr std::string_view kNonCharacters[] = {"\xEF\xBF\xBE", "\xEF\xBF\xBF"};
  std::string result;
  result.reserve(s.size());
  for (size_t i = 0; i < s.size(); ++i) {
    const auto code = static_cast<unsigned char>(s[i]);
    const std::string_view rest = std::string_view(s).substr(i);
    if (rest.starts_with(kNonCharacters[0]) || rest.starts_with(kNonCharacters[1])) {
      i += 2;
    } else if (code >= 32 || code == '\t' || code == '\n' || code == '\r') {
      result += s[i];
    }
  }
  return result;
}

TXmlNode SelectNode(const TXmlNode& node, const std::string& xPath, const std::string& namespaces) {
  return node.SelectSingleNode(xPath, namespaces);
}

TXmlNode SelectRequiredNode(const TXmlNode& node, const std::string& xPath,
                            const std::string& namespaces) {
  TXmlNode found = SelectNode(node, xPath, namespaces);
  if (!found) {
    throw EXMLNodeNotFound(Format("Не найден узел по XPath запросу \"%s\"", xPath));
  }
  return found;
}

TXmlNodeList SelectNodes(const TXmlNode& node, const std::string& xPath,
                         const std::string& namespaces) {
  return node.SelectNodes(xPath, namespaces);
}

void CheckValidXMLRoot(const std::string& factNodeName, const std::string& expectedNodeName) {
  if (!platform::SameTextLocale(factNodeName, expectedNodeName)) {
    throw EInvalidXMLFile::InvalidRootNodeName(factNodeName, expectedNodeName);
  }
}

void HandleInvalidMSXMLVersionError() {
  const std::exception_ptr handled = std::current_exception();
  Assert(handled != nullptr, kModule, __LINE__,
         "Функцию HandleInvalidMSXMLVersionError нужно вызывать ТОЛЬКО в except блоке");
  try {
    std::rethrow_exception(handled);
  } catch (const platform::EOleSysError& e) {
    if (e.ErrorCode() == platform::EOleSysError::kFail) {
      throw EWrongMSXML(
          "Для работы требуется установленный Microsoft XML 3.0 или выше.\r\n"
          "Детальное описание ошибки можно прочитать по данной ссылке "
          "https://support.microsoft.com/kb/269238");
    }
  } catch (...) {
  }
}

void HandleLoadXmlFileError(const std::string& fileName) {
  const std::exception_ptr handled = std::current_exception();
  Assert(handled != nullptr, kModule, __LINE__,
         "Функцию HandleLoadXmlFileError нужно вызывать ТОЛЬКО в except блоке");
  try {
    std::rethrow_exception(handled);
  } catch (const std::exception& e) {
    throw EInvalidXMLFile(Format("Ошибка при загрузке файла \"%s\"\r\n%s", fileName, e.what()));
  } catch (...) {
    throw EInvalidXMLFile(Format("Ошибка при загрузке файла \"%s\"", fileName));
  }
}

// TXMLNodeListEnumerable

TXMLNodeListEnumerable TXMLNodeListEnumerable::Create(TXmlNodeList list, std::string localName) {
  TXMLNodeListEnumerable result;
  result.FList = std::make_shared<const TXmlNodeList>(std::move(list));
  result.FLocalName = std::move(localName);
  return result;
}

bool TXMLNodeListEnumerable::TEnumerator::MoveNext() {
  if (!FList) {
    return false;
  }
  const int count = static_cast<int>(FList->size());
  if (FIndex < count) {
    ++FIndex;
  }
  while (FIndex < count && !FLocalName.empty() && Current().LocalName() != FLocalName) {
    ++FIndex;
  }
  return FIndex < count;
}

}  // namespace kv
