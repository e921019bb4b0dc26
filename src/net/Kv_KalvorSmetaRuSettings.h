#pragma once
// The maker's online service: its names and the addresses of its document collections.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "base/Object.h"
#include "common/Common.Threading.Tasks.h"
#include "common/FileVersion.h"
#include "platform/Xml.h"

namespace kv {

// The online service's domain name, which completes its data source's display name.
inline constexpr const char* kOnlineServiceDomain = "kalvorsmeta.ru";
// The display caption of the online document service: the wizard's online node, the
// settings.ini value that preselects it and the caption of its connection.
inline constexpr const char* OnlineServiceCaption = "kalvorsmeta.ru";
// The namespace of the WebDAV property SmetaDocType, which names a stored document's type.
inline constexpr const char* DocumentSchemaNamespace = "http://kalvorsmeta.ru/schema/smetadoc";
// The update server that serves the collections' default addresses.
inline constexpr const char* UpdateServerBase = "http://update.kalvorsmeta.ru:81";

// The three addresses a settings document gives.
struct TKalvorSmetaRuUrls {
  std::string SmetaDocs;
  std::string DocTemplates;
  std::string ExpTemplates;
};

// Reads a settings document for a program of the given version: the "Kvsmeta" section with the
// highest "Version" not above the program's (the first of equals), else the document element
// itself, holds "SmetaDocs/Url", "DocTemplates/Url" and "ExpTemplates/Url". Raises
// EXMLNodeNotFound naming the first address that is missing.
TKalvorSmetaRuUrls ReadKalvorSmetaRuSettingsDocument(const platform::TXmlDocument& document,
                                                     const TDigitalFileVersionInfo& programVersion);

// The settings file named by the last "-cfg:" argument (the switch in any letter case), as
// written; empty when there is none.
std::string SettingsFileSwitch(const std::vector<std::string>& args);

// Where the online service keeps its estimates, document templates and export templates. It
// starts with the update server's addresses; a settings document may replace them, after which
// the callbacks waiting for the final state run. Used on the main thread only.
class TKalvorSmetaRuSettings : public TObject {
  KV_CLASS_INFO()
 public:
  enum class TState : uint8_t { Waiting = 0, Loaded = 1, Error = 2 };

  // The default addresses; reads nothing and connects nowhere.
  TKalvorSmetaRuSettings();

  const std::string& SmetaDocsUrl() const { return FSmetaDocsUrl; }
  const std::string& DocTemplatesUrl() const { return FDocTemplatesUrl; }
  const std::string& ExpTemplatesUrl() const { return FExpTemplatesUrl; }
  bool IsLoaded() const { return FState == TState::Loaded; }
  bool IsError() const { return FState == TState::Error; }
  // The failure's message in the Error state; empty otherwise.
  const std::string& ErrorMessage() const { return FErrorMessage; }

  // Runs the procedure now when the settings are final, else once when they become final.
  void CallOnLoaded(std::function<void()> proc);

  // Replaces the addresses from the settings file that "-cfg:" names, when it exists and gives
  // a connection address (a failure is shown in a message box); otherwise downloads the
  // settings document from the address on a worker thread and reads it on the main thread,
  // moving to Loaded or to Error. Answers the task of the whole load; the instance must outlive
  // it.
  TTask<TUnit> LoadFromUrlAsync(const std::string& url);

 protected:
  // Moves to the state. On reaching a final state, the waiting callbacks run in registration
  // order and are dropped, also when one raises (which stops the rest). Nothing happens when
  // neither the state nor the message changes.
  void SetState(TState state, const std::string& message);
  // The running program's arguments and version, which choose the settings file and the
  // document's section.
  virtual std::vector<std::string> CommandLineArgs() const;
  virtual TDigitalFileVersionInfo ProgramVersion() const;

 private:
  // Reads the document and takes its three addresses together.
  void ReadDocument(const platform::TXmlDocument& document);
  void LoadFromFile(const std::string& fileName);

  std::string FExpTemplatesUrl;
  std::string FDocTemplatesUrl;
  std::string FSmetaDocsUrl;
  TState FState = TState::Waiting;
  std::string FErrorMessage;
  std::vector<std::function<void()>> FOnLoaded;
};

// The process's settings, made on the first call (on the main thread).
TKalvorSmetaRuSettings& KalvorSmetaRuSettings();

}  // namespace kv
