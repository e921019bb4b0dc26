#include "net/Kv_KalvorSmetaRuSettings.h"

#include <charconv>
#include <optional>
#include <utility>

#include "base/Rtti.h"
#include "common/Common.SysUtils.h"
#include "net/Common.Net.WinInet.h"
#include "options/Common.XMLUtils.h"
#include "platform/Files.h"
#include "platform/System.h"
#include "platform/Text.h"

namespace kv {

KV_DEFINE_CLASS(TKalvorSmetaRuSettings, "TKalvorSmetaRuSettings", TObject)

namespace {

// A section's "Version": absent or empty is 0.0.0.0, a plain number n is n.0.0.0, a dotted
// text that does not convert is 0.0.0.0 as well.
TDigitalFileVersionInfo SectionVersion(const platform::TXmlNode& section) {
  const std::string text = section.Attribute("Version").value_or("");
  if (text.empty()) {
    return {};
  }
  int32_t number = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
  if (error == std::errc() && end == text.data() + text.size()) {
    return TDigitalFileVersionInfo::Create(number, 0, 0, 0);
  }
  try {
    return TDigitalFileVersionInfo::Parse(text);
  } catch (const Exception&) {
    return {};
  }
}

std::string RequiredUrl(const platform::TXmlNode& section, const std::string& path) {
  return std::string(Trim(SelectRequiredNode(section, path, {}).Text()));
}

// "Class: message" of an error, for the message box.
std::string DescribeCurrentException() {
  try {
    throw;
  } catch (const Exception& e) {
    return e.ClassName() + ": " + e.Message();
  } catch (const std::exception& e) {
    return std::string("Exception: ") + e.what();
  } catch (...) {
    return "Exception: ?";
  }
}

// The program's name without its extension, the caption of its message boxes.
std::string ApplicationTitle() {
  const std::string name = ExtractFileName(platform::ProgramFileName());
  return name.substr(0, name.rfind('.'));
}

std::string MessageOf(const std::exception_ptr& error) {
  try {
    std::rethrow_exception(error);
  } catch (const std::exception& e) {
    return e.what();
  } catch (...) {
    return {};
  }
}

}  // namespace

TKalvorSmetaRuUrls ReadKalvorSmetaRuSettingsDocument(
    const platform::TXmlDocument& document, const TDigitalFileVersionInfo& programVersion) {
  const platform::TXmlNode root = document.DocumentElement();
  platform::TXmlNode section = root;
  std::optional<TDigitalFileVersionInfo> chosen;
  for (const platform::TXmlNode& child : root.Children()) {
    if (!child.IsElement() || child.Name() != "Kvsmeta") {
      continue;
    }
    const TDigitalFileVersionInfo version = SectionVersion(child);
    if (version <= programVersion && (!chosen || version > *chosen)) {
      chosen = version;
      section = child;
    }
  }
  TKalvorSmetaRuUrls urls;
  urls.SmetaDocs = RequiredUrl(section, "SmetaDocs/Url");
  urls.DocTemplates = RequiredUrl(section, "DocTemplates/Url");
  urls.ExpTemplates = RequiredUrl(section, "ExpTemplates/Url");
  return urls;
}

std::string SettingsFileSwitch(const std::vector<std::string>& args) {
  static constexpr std::string_view kSwitch = "-cfg:";
  std::string fileName;
  for (const std::string& arg : args) {
    // The switch's letters in any case; the path keeps its own, as file names may differ in case.
    if (arg.size() >= kSwitch.size() &&
        platform::LowerCaseLocale(arg.substr(0, kSwitch.size())) == kSwitch) {
      fileName = arg.substr(kSwitch.size());
    }
  }
  return fileName;
}

TKalvorSmetaRuSettings::TKalvorSmetaRuSettings()
    : FExpTemplatesUrl(std::string(UpdateServerBase) + "/Api/ExpTemplates"),
      FDocTemplatesUrl(std::string(UpdateServerBase) + "/Api/DocTemplates"),
      FSmetaDocsUrl(std::string(UpdateServerBase) + "/Api/SmetaDocs") {}

void TKalvorSmetaRuSettings::CallOnLoaded(std::function<void()> proc) {
  if (FState != TState::Waiting) {
    proc();
  } else {
    FOnLoaded.push_back(std::move(proc));
  }
}

void TKalvorSmetaRuSettings::SetState(TState state, const std::string& message) {
  if (state == FState && message == FErrorMessage) {
    return;
  }
  FState = state;
  FErrorMessage = state == TState::Error ? message : std::string();
  if (state != TState::Waiting) {
    // Taken out first: a callback that raises or registers another leaves no list behind.
    const std::vector<std::function<void()>> callbacks = std::exchange(FOnLoaded, {});
    for (const auto& callback : callbacks) {
      callback();
    }
  }
}

std::vector<std::string> TKalvorSmetaRuSettings::CommandLineArgs() const {
  return platform::CommandLineArgs();
}

TDigitalFileVersionInfo TKalvorSmetaRuSettings::ProgramVersion() const {
  return TDigitalFileVersionInfo::CreateFromFile(platform::ProgramFileName());
}

void TKalvorSmetaRuSettings::ReadDocument(const platform::TXmlDocument& document) {
  // All three are read before any is taken: a document cut short leaves the old ones whole.
  TKalvorSmetaRuUrls urls = ReadKalvorSmetaRuSettingsDocument(document, ProgramVersion());
  FSmetaDocsUrl = std::move(urls.SmetaDocs);
  FDocTemplatesUrl = std::move(urls.DocTemplates);
  FExpTemplatesUrl = std::move(urls.ExpTemplates);
}

void TKalvorSmetaRuSettings::LoadFromFile(const std::string& fileName) {
  const platform::TXmlDocument document = LoadXMLFile(fileName);
  // The connection's address is checked before anything is taken, so that a file without it
  // changes nothing.
  if (ReadKalvorSmetaRuSettingsDocument(document, ProgramVersion()).SmetaDocs.empty()) {
    throw Exception("В файле настроек не найден URL для подключения.");
  }
  ReadDocument(document);
  SetState(TState::Loaded, {});
}

TTask<TUnit> TKalvorSmetaRuSettings::LoadFromUrlAsync(const std::string& url) {
  const std::string fileName = SettingsFileSwitch(CommandLineArgs());
  if (!fileName.empty() && platform::FileExists(fileName)) {
    try {
      LoadFromFile(fileName);
      return TTask<>::Completed();
    } catch (...) {
      platform::CurrentMessageBoxes::Get().Show(
          platform::TWindowHandle::None,
          "Ошибка загрузки файла настроек: " + fileName + "\r\n" + DescribeCurrentException() +
              "\r\n\r\nВыполняю загрузку настроек по умолчанию.",
          ApplicationTitle(), {platform::TMessageButtons::Ok, platform::TMessageIcon::Error});
    }
  }
  return TTask<>::StartNew([url] { return TWinInetWebClient().DownloadData(url); })
      .ToMainThread()
      .ContinueWith([this](const std::vector<uint8_t>& bytes) {
        ReadDocument(LoadXMLFromBytes(
            std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size())));
        SetState(TState::Loaded, {});
      })
      .DoExcept(
          [this](const std::exception_ptr& error) { SetState(TState::Error, MessageOf(error)); });
}

TKalvorSmetaRuSettings& KalvorSmetaRuSettings() {
  static TKalvorSmetaRuSettings settings;
  return settings;
}

}  // namespace kv
