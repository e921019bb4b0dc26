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
// The OLE error with which a missing or too old MSXML fails.
constexpr int32_t kE_FAIL = static_cast<int32_t>(0x80004005u);

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

EInvalidXMLFile EInvalidXMLFile::Create4FileName(const std::string& FileName) {
  return EInvalidXMLFile(Format("Файл \"%s\" имеет некорректный формат", FileName));
}

EInvalidXMLFile EInvalidXMLFile::InvalidRootNodeName(const std::string& FactNodeName,
                                                     const std::string& ExpectedNodeName) {
  return EInvalidXMLFile(Format("Считано имя корневого узла \"%s\", ожидалось \"%s\"", FactNodeName,
                                ExpectedNodeName));
}

EInvalidXMLFile EInvalidXMLFile::EmptyData() {
  return EInvalidXMLFile("Отсутствуют данные в XML-документе");
}

TXmlDocument LoadXMLFile(const std::string& FileName) {
  try {
    return TXmlDocument::LoadFromFile(FileName);
  } catch (...) {
    HandleInvalidMSXMLVersionError();
    HandleLoadXmlFileError(FileName);
  }
}

void LoadXMLIntoDocument(TXmlDocument& Doc, const std::string& FileName) {
  try {
    Doc.Load(FileName);
  } catch (...) {
    HandleInvalidMSXMLVersionError();
    HandleLoadXmlFileError(FileName);
  }
}

TXmlDocument LoadXMLFromBytes(std::string_view Bytes) {
  return TXmlDocument::LoadFromBytes(Bytes);
}

std::string ReadNodeText(const TXmlNode& Node, const std::string& Default) {
  return Node ? Node.Text() : Default;
}

std::string ReadAttributeString(const TXmlNode& Node, const std::string& Name,
                                const std::string& Default) {
  return Node.Attribute(Name).value_or(Default);
}

std::string ReadRequiredAttribute(const TXmlNode& Node, const std::string& Name, bool Required) {
  std::string value = Node.Attribute(Name).value_or("");
  if (Required && value.empty()) {
    throw EInvalidXMLData(
        Format("Обязательный параметр \"%s\" отсутствует в узле \"%s\"", Name, Node.Name()));
  }
  return value;
}

int32_t ReadAttributeInteger(const TXmlNode& Node, const std::string& Name, int32_t Default) {
  const auto text = Node.Attribute(Name);
  int32_t value = 0;
  return text && TryTextToInteger(*text, value) ? value : Default;
}

bool ReadAttributeBoolean(const TXmlNode& Node, const std::string& Name, bool Default) {
  const auto text = Node.Attribute(Name);
  return text ? TextToBoolean(*text) : Default;
}

long double ReadAttributeFloat(const TXmlNode& Node, const std::string& Name, long double Default) {
  const auto text = Node.Attribute(Name);
  double value = 0;
  return text && TryTextToFloat(*text, value) ? value : Default;
}

void WriteAttributeString(TXmlNode& Node, const std::string& Name, const std::string& Value,
                          const std::string& Default) {
  if (Value != Default) {
    Node.SetAttribute(Name, RemoveInvalidXMLChars(Value));
  }
}

void WriteAttributeInteger(TXmlNode& Node, const std::string& Name, int32_t Value,
                           int32_t Default) {
  if (Value != Default) {
    Node.SetAttribute(Name, std::to_string(Value));
  }
}

void WriteAttributeBoolean(TXmlNode& Node, const std::string& Name, bool Value) {
  Node.SetAttribute(Name, Value ? "true" : "false");
}

void WriteAttributeFloat(TXmlNode& Node, const std::string& Name, long double Value) {
  Node.SetAttribute(Name, FloatToText(Value));
}

std::string RemoveInvalidXMLChars(const std::string& S) {
  // U+FFFE and U+FFFF, which no XML file can carry either: a value holding them would make the
  // whole file unwritable.
  static constexpr std::string_view kNonCharacters[] = {"\xEF\xBF\xBE", "\xEF\xBF\xBF"};
  std::string result;
  result.reserve(S.size());
  for (size_t i = 0; i < S.size(); ++i) {
    const auto code = static_cast<unsigned char>(S[i]);
    const std::string_view rest = std::string_view(S).substr(i);
    if (rest.starts_with(kNonCharacters[0]) || rest.starts_with(kNonCharacters[1])) {
      i += 2;
    } else if (code >= 32 || code == '\t' || code == '\n' || code == '\r') {
      result += S[i];
    }
  }
  return result;
}

TXmlNode SelectNode(const TXmlNode& Node, const std::string& XPath, const std::string& Namespaces) {
  return Node.SelectSingleNode(XPath, Namespaces);
}

TXmlNode SelectRequiredNode(const TXmlNode& Node, const std::string& XPath,
                            const std::string& Namespaces) {
  TXmlNode found = SelectNode(Node, XPath, Namespaces);
  if (!found) {
    throw EXMLNodeNotFound(Format("Не найден узел по XPath запросу \"%s\"", XPath));
  }
  return found;
}

TXmlNodeList SelectNodes(const TXmlNode& Node, const std::string& XPath,
                         const std::string& Namespaces) {
  return Node.SelectNodes(XPath, Namespaces);
}

void CheckValidXMLRoot(const std::string& FactNodeName, const std::string& ExpectedNodeName) {
  if (!platform::SameTextLocale(FactNodeName, ExpectedNodeName)) {
    throw EInvalidXMLFile::InvalidRootNodeName(FactNodeName, ExpectedNodeName);
  }
}

void HandleInvalidMSXMLVersionError() {
  const std::exception_ptr handled = std::current_exception();
  Assert(handled != nullptr, kModule, __LINE__,
         "Функцию HandleInvalidMSXMLVersionError нужно вызывать ТОЛЬКО в except блоке");
  try {
    std::rethrow_exception(handled);
  } catch (const platform::EOleSysError& e) {
    if (e.ErrorCode() == kE_FAIL) {
      throw EWrongMSXML(
          "Для работы требуется установленный Microsoft XML 3.0 или выше.\r\n"
          "Детальное описание ошибки можно прочитать по данной ссылке "
          "https://support.microsoft.com/kb/269238");
    }
  } catch (...) {
  }
}

void HandleLoadXmlFileError(const std::string& FileName) {
  const std::exception_ptr handled = std::current_exception();
  Assert(handled != nullptr, kModule, __LINE__,
         "Функцию HandleLoadXmlFileError нужно вызывать ТОЛЬКО в except блоке");
  try {
    std::rethrow_exception(handled);
  } catch (const std::exception& e) {
    throw EInvalidXMLFile(Format("Ошибка при загрузке файла \"%s\"\r\n%s", FileName, e.what()));
  } catch (...) {
    throw EInvalidXMLFile(Format("Ошибка при загрузке файла \"%s\"", FileName));
  }
}

// TXMLNodeListEnumerable

TXMLNodeListEnumerable TXMLNodeListEnumerable::Create(TXmlNodeList AList, std::string ALocalName) {
  TXMLNodeListEnumerable result;
  result.FList = std::make_shared<const TXmlNodeList>(std::move(AList));
  result.FLocalName = std::move(ALocalName);
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
