#include "net/Kv_KalvorSmetaRuSettings.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace kv {
namespace {

using TState = TKalvorSmetaRuSettings::TState;

// The loader's state changes, made by the test.
class TTestSettings : public TKalvorSmetaRuSettings {
 public:
  using TKalvorSmetaRuSettings::SetState;
};

TEST(KalvorSmetaRuSettingsTest, StartsWithTheUpdateServersAddresses) {
  const TTestSettings settings;
  EXPECT_EQ(settings.SmetaDocsUrl(), "http://update.kalvorsmeta.ru:81/Api/SmetaDocs");
  EXPECT_EQ(settings.DocTemplatesUrl(), "http://update.kalvorsmeta.ru:81/Api/DocTemplates");
  EXPECT_EQ(settings.ExpTemplatesUrl(), "http://update.kalvorsmeta.ru:81/Api/ExpTemplates");
  EXPECT_FALSE(settings.IsLoaded());
  EXPECT_FALSE(settings.IsError());
  EXPECT_EQ(settings.ErrorMessage(), "");
  EXPECT_EQ(&KalvorSmetaRuSettings(), &KalvorSmetaRuSettings());
  EXPECT_EQ(KalvorSmetaRuSettings().SmetaDocsUrl(), settings.SmetaDocsUrl());
}

TEST(KalvorSmetaRuSettingsTest, StatesAndTheirMessage) {
  struct Case {
    TState state;
    const char* message;
    bool loaded;
    bool error;
    const char* errorMessage;
  };
  const Case cases[] = {
      {TState::Loaded, "", true, false, ""},
      {TState::Loaded, "ignored", true, false, ""},
      {TState::Error, "Нет связи с сервером", false, true, "Нет связи с сервером"},
      {TState::Error, "", false, true, ""},
      {TState::Waiting, "ignored", false, false, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.message);
    TTestSettings settings;
    settings.SetState(c.state, c.message);
    EXPECT_EQ(settings.IsLoaded(), c.loaded);
    EXPECT_EQ(settings.IsError(), c.error);
    EXPECT_EQ(settings.ErrorMessage(), c.errorMessage);
  }
}

TEST(KalvorSmetaRuSettingsTest, WaitingCallbacksRunOnceWhenTheStateIsFinal) {
  for (const TState final : {TState::Loaded, TState::Error}) {
    TTestSettings settings;
    std::vector<int> calls;
    settings.CallOnLoaded([&] { calls.push_back(1); });
    settings.CallOnLoaded([&] { calls.push_back(2); });
    settings.SetState(TState::Waiting, "");
    EXPECT_TRUE(calls.empty());

    settings.SetState(final, "сбой");
    EXPECT_EQ(calls, (std::vector<int>{1, 2}));
    // The same state again, another final state, or a way back and forth: the list is used up.
    settings.SetState(final, "сбой");
    settings.SetState(TState::Error, "другой сбой");
    settings.SetState(TState::Waiting, "");
    settings.SetState(TState::Loaded, "");
    EXPECT_EQ(calls, (std::vector<int>{1, 2}));

    // Once final, a callback runs at once.
    settings.CallOnLoaded([&] { calls.push_back(3); });
    EXPECT_EQ(calls, (std::vector<int>{1, 2, 3}));
  }
}

TEST(KalvorSmetaRuSettingsTest, ARaisingCallbackStopsTheRestWhichAreDropped) {
  TTestSettings settings;
  std::vector<int> calls;
  settings.CallOnLoaded([&] { calls.push_back(1); });
  settings.CallOnLoaded([] { throw std::runtime_error("сбой обработчика"); });
  settings.CallOnLoaded([&] { calls.push_back(3); });
  EXPECT_THROW(settings.SetState(TState::Loaded, ""), std::runtime_error);
  EXPECT_TRUE(settings.IsLoaded());
  EXPECT_EQ(calls, (std::vector<int>{1}));

  settings.SetState(TState::Waiting, "");
  settings.SetState(TState::Loaded, "");
  EXPECT_EQ(calls, (std::vector<int>{1}));
}

TEST(KalvorSmetaRuSettingsTest, ACallbackMayRegisterAnother) {
  TTestSettings settings;
  std::vector<int> calls;
  settings.CallOnLoaded([&] {
    calls.push_back(1);
    settings.CallOnLoaded([&] { calls.push_back(2); });
  });
  settings.SetState(TState::Loaded, "");
  EXPECT_EQ(calls, (std::vector<int>{1, 2}));
}

}  // namespace
}  // namespace kv
