#include "net/Kv_KalvorSmetaRuSettings.h"

#include <utility>

#include "base/Rtti.h"

namespace kv {

KV_DEFINE_CLASS(TKalvorSmetaRuSettings, "TKalvorSmetaRuSettings", TObject)

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

TKalvorSmetaRuSettings& KalvorSmetaRuSettings() {
  static TKalvorSmetaRuSettings settings;
  return settings;
}

}  // namespace kv
