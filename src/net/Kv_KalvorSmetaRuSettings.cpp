#include "net/Kv_KalvorSmetaRuSettings.h"

#include <utility>

#include "base/Rtti.h"

namespace kv {

KV_DEFINE_CLASS(TKalvorSmetaRuSettings, "TKalvorSmetaRuSettings", TObject)

TKalvorSmetaRuSettings::TKalvorSmetaRuSettings()
    : FExpTemplatesUrl(std::string(UpdateServerBase) + "/Api/ExpTemplates"),
      FDocTemplatesUrl(std::string(UpdateServerBase) + "/Api/DocTemplates"),
      FSmetaDocsUrl(std::string(UpdateServerBase) + "/Api/SmetaDocs") {}

void TKalvorSmetaRuSettings::CallOnLoaded(std::function<void()> Proc) {
  if (FState != TState::Waiting) {
    Proc();
  } else {
    FOnLoaded.push_back(std::move(Proc));
  }
}

void TKalvorSmetaRuSettings::SetState(TState AState, const std::string& AMessage) {
  if (AState == FState && AMessage == FErrorMessage) {
    return;
  }
  FState = AState;
  FErrorMessage = AState == TState::Error ? AMessage : std::string();
  if (AState != TState::Waiting) {
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
