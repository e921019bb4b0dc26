#include "net/Kv_KalvorSmetaRuSettings.h"

#include <gtest/gtest.h>

#include <chrono>
#include <stdexcept>
#include <string>
#include <vector>

#include "options/Common.XMLUtils.h"
#include "platform/MainThread.h"
#include "platform/Shell.h"
#include "support/LoopbackHttpServer.h"
#include "support/TempFolder.h"
#include "support/Thrown.h"

namespace kv {
namespace {

using TState = TKalvorSmetaRuSettings::TState;

// The loader's state changes, made by the test.
class TTestSettings : public TKalvorSmetaRuSettings {
 public:
  using TKalvorSmetaRuSettings::SetState;

  std::vector<std::string> Args;
  TDigitalFileVersionInfo Version = TDigitalFileVersionInfo::Create(9, 5, 0, 0);

 protected:
  std::vector<std::string> CommandLineArgs() const override { return Args; }
  TDigitalFileVersionInfo ProgramVersion() const override { return Version; }
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

using namespace std::chrono_literals;

TKalvorSmetaRuUrls Read(const std::string& xml, const TDigitalFileVersionInfo& version) {
  return ReadKalvorSmetaRuSettingsDocument(platform::TXmlDocument::LoadFromBytes(xml), version);
}

std::string Section(const std::string& version, const std::string& name) {
  return "<Kvsmeta" + (version.empty() ? "" : " Version=\"" + version + "\"") + ">" +
         "<SmetaDocs><Url>http://" + name + "/docs</Url></SmetaDocs>" +
         "<DocTemplates><Url>http://" + name + "/tpl</Url></DocTemplates>" +
         "<ExpTemplates><Url>http://" + name + "/exp</Url></ExpTemplates></Kvsmeta>";
}

const std::string kRootUrls =
    "<SmetaDocs><Url>http://root/docs</Url></SmetaDocs>"
    "<DocTemplates><Url>http://root/tpl</Url></DocTemplates>"
    "<ExpTemplates><Url>http://root/exp</Url></ExpTemplates>";

TEST(KalvorSmetaRuSettingsDocumentTest, TakesTheHighestSectionNotAboveTheProgram) {
  struct Case {
    const char* name;
    std::string body;
    const char* smetaDocs;  // the chosen source's estimate address, or the error
  };
  const Case cases[] = {
      {"9 and 10 for 9.5", Section("9.0.0.0", "v9") + Section("10.0.0.0", "v10"), "http://v9/docs"},
      {"only 10 falls back to the root", Section("10.0.0.0", "v10") + kRootUrls,
       "http://root/docs"},
      {"only 10 and no root addresses", Section("10.0.0.0", "v10"),
       "Не найден узел по XPath запросу \"SmetaDocs/Url\""},
      {"no version counts as 0", Section("", "none") + Section("11", "v11"), "http://none/docs"},
      {"a plain number is a major version", Section("8", "v8") + Section("9.1", "v91"),
       "http://v91/docs"},
      {"an unreadable version counts as 0", Section("x.y", "bad") + Section("", "none"),
       "http://bad/docs"},
      {"the first of equals", Section("9.5.0.0", "first") + Section("9.5", "second"),
       "http://first/docs"},
      {"exactly the program's version", Section("9.5.0.0", "same") + Section("9.4.9.9", "older"),
       "http://same/docs"},
      {"no sections", kRootUrls, "http://root/docs"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string xml = "<Settings>" + c.body + "</Settings>";
    try {
      EXPECT_EQ(c.smetaDocs, Read(xml, TDigitalFileVersionInfo::Create(9, 5, 0, 0)).SmetaDocs);
    } catch (const EXMLNodeNotFound& e) {
      EXPECT_EQ(c.smetaDocs, e.Message());
    }
  }
}

TEST(KalvorSmetaRuSettingsDocumentTest, AddressesAreTrimmedAndEachIsRequired) {
  const TKalvorSmetaRuUrls urls = Read(
      "<r><Kvsmeta><SmetaDocs><Url>\n  http://a/docs \r\n</Url></SmetaDocs>"
      "<DocTemplates><Url>\thttp://a/tpl</Url></DocTemplates>"
      "<ExpTemplates><Url> http://a/exp\t</Url></ExpTemplates></Kvsmeta></r>",
      {});
  EXPECT_EQ("http://a/docs", urls.SmetaDocs);
  EXPECT_EQ("http://a/tpl", urls.DocTemplates);
  EXPECT_EQ("http://a/exp", urls.ExpTemplates);
  EXPECT_EQ("Не найден узел по XPath запросу \"ExpTemplates/Url\"",
            test::MessageOf<EXMLNodeNotFound>([] {
              Read(
                  "<r><SmetaDocs><Url>d</Url></SmetaDocs><DocTemplates><Url>t</Url>"
                  "</DocTemplates></r>",
                  {});
            }));
}

TEST(KalvorSmetaRuSettingsDocumentTest, TheLastCfgSwitchNamesTheFileWithItsOwnLetters) {
  EXPECT_EQ("", SettingsFileSwitch({"portable", "cfg:x.xml", "-cfgx.xml"}));
  EXPECT_EQ("/Home/Settings.XML",
            SettingsFileSwitch({"-cfg:first.xml", "portable", "-CFG:/Home/Settings.XML"}));
  EXPECT_EQ("C:\\Мои\\Настройки.xml", SettingsFileSwitch({"-Cfg:C:\\Мои\\Настройки.xml"}));
}

// Message boxes, recorded instead of shown.
class TFakeMessageBoxes final : public platform::IMessageBoxes {
 public:
  platform::TMessageAnswer Show(platform::TWindowHandle, const std::string& text,
                                const std::string&, platform::TMessageKind kind) override {
    Texts.push_back(text);
    Kinds.push_back(kind);
    return platform::TMessageAnswer::Ok;
  }
  std::vector<std::string> Texts;
  std::vector<platform::TMessageKind> Kinds;
};

// Runs the load and the main thread's queue until the load's task is over.
void LoadAndWait(TTestSettings& settings, const std::string& url) {
  bool over = false;
  settings.LoadFromUrlAsync(url).DoFinally([&] { over = true; });
  const auto deadline = std::chrono::steady_clock::now() + 30s;
  while (!over && std::chrono::steady_clock::now() < deadline) {
    platform::ProcessMainThreadQueue(10ms);
  }
  ASSERT_TRUE(over) << "the load did not end";
}

const std::string kDefaultDocs = "http://update.kalvorsmeta.ru:81/Api/SmetaDocs";

TEST(KalvorSmetaRuSettingsLoadTest, DownloadsAndReadsTheDocumentOnTheMainThread) {
  const std::string document = "<?xml version=\"1.0\" encoding=\"utf-8\"?><Settings>" +
                               Section("9.0.0.0", "v9") + Section("10.0.0.0", "v10") +
                               "</Settings>";
  test::TLoopbackHttpServer server([&](const test::TRecordedRequest& request) {
    return request.Target == "/settings.xml" ? test::HttpResponse(200, "OK", document)
                                             : test::HttpResponse(404, "Not Found", "");
  });
  TTestSettings settings;
  int calls = 0;
  bool onMain = false;
  settings.CallOnLoaded([&] {
    ++calls;
    onMain = platform::IsMainThread();
  });
  LoadAndWait(settings, server.Url("/settings.xml"));
  EXPECT_TRUE(settings.IsLoaded());
  EXPECT_EQ("http://v9/docs", settings.SmetaDocsUrl());
  EXPECT_EQ("http://v9/tpl", settings.DocTemplatesUrl());
  EXPECT_EQ("http://v9/exp", settings.ExpTemplatesUrl());
  EXPECT_EQ(1, calls);
  EXPECT_TRUE(onMain);
}

TEST(KalvorSmetaRuSettingsLoadTest, AFailedLoadKeepsEveryDefaultAndSaysWhy) {
  struct Case {
    const char* name;
    std::string answer;
    const char* message;  // empty: any message will do
  };
  const Case cases[] = {
      {"404", test::HttpResponse(404, "Not Found", "gone"), ""},
      {"not XML", test::HttpResponse(200, "OK", "{\"SmetaDocs\": 1}"), ""},
      {"cut short", test::HttpResponse(200, "OK", "<r><SmetaDocs><Url>http://x/</Url></Smeta"), ""},
      {"a missing element",
       test::HttpResponse(200, "OK",
                          "<r><SmetaDocs><Url>http://new/docs</Url></SmetaDocs>"
                          "<DocTemplates><Url>http://new/tpl</Url></DocTemplates></r>"),
       "Не найден узел по XPath запросу \"ExpTemplates/Url\""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    test::TLoopbackHttpServer server([&](const test::TRecordedRequest&) { return c.answer; });
    TTestSettings settings;
    int calls = 0;
    settings.CallOnLoaded([&] { ++calls; });
    LoadAndWait(settings, server.Url("/settings.xml"));
    EXPECT_TRUE(settings.IsError());
    EXPECT_FALSE(settings.ErrorMessage().empty());
    if (*c.message) {
      EXPECT_EQ(c.message, settings.ErrorMessage());
    }
    EXPECT_EQ(kDefaultDocs, settings.SmetaDocsUrl());
    EXPECT_EQ("http://update.kalvorsmeta.ru:81/Api/DocTemplates", settings.DocTemplatesUrl());
    EXPECT_EQ(1, calls);
  }
}

TEST(KalvorSmetaRuSettingsLoadTest, ASettingsFileFromTheCommandLineSettlesItWithoutDownload) {
  test::TTempFolder folder;
  const std::string file = folder.Path("Settings.XML");
  test::WriteFileBytes(file, "<Settings>" + Section("9", "local") + "</Settings>");
  test::TLoopbackHttpServer server(
      [](const test::TRecordedRequest&) { return test::HttpResponse(500, "Server Error", ""); });
  TFakeMessageBoxes boxes;
  const platform::TScopedCurrent<platform::IMessageBoxes> scope(boxes);
  TTestSettings settings;
  settings.Args = {"portable", "-cfg:missing.xml", "-CFG:" + file};
  LoadAndWait(settings, server.Url("/settings.xml"));
  EXPECT_TRUE(settings.IsLoaded());
  EXPECT_EQ("http://local/docs", settings.SmetaDocsUrl());
  EXPECT_TRUE(server.Requests().empty());
  EXPECT_TRUE(boxes.Texts.empty());
}

TEST(KalvorSmetaRuSettingsLoadTest, ABadSettingsFileIsShownAndTheDownloadFollows) {
  struct Case {
    const char* name;
    std::string content;
    std::string cause;
  };
  const Case cases[] = {
      {"no connection address",
       "<r><SmetaDocs><Url> </Url></SmetaDocs><DocTemplates><Url>http://f/tpl</Url>"
       "</DocTemplates><ExpTemplates><Url>http://f/exp</Url></ExpTemplates></r>",
       "Exception: В файле настроек не найден URL для подключения."},
      {"a missing element", "<r><SmetaDocs><Url>http://f/docs</Url></SmetaDocs></r>",
       "EXMLNodeNotFound: Не найден узел по XPath запросу \"DocTemplates/Url\""},
  };
  const std::string document = "<r>" + kRootUrls + "</r>";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    test::TTempFolder folder;
    const std::string file = folder.Path("Bad.xml");
    test::WriteFileBytes(file, c.content);
    test::TLoopbackHttpServer server(
        [&](const test::TRecordedRequest&) { return test::HttpResponse(200, "OK", document); });
    TFakeMessageBoxes boxes;
    const platform::TScopedCurrent<platform::IMessageBoxes> scope(boxes);
    TTestSettings settings;
    settings.Args = {"-cfg:" + file};
    LoadAndWait(settings, server.Url("/s.xml"));
    ASSERT_EQ(1u, boxes.Texts.size());
    EXPECT_EQ("Ошибка загрузки файла настроек: " + file + "\r\n" + c.cause +
                  "\r\n\r\nВыполняю загрузку настроек по умолчанию.",
              boxes.Texts[0]);
    EXPECT_EQ(platform::TMessageIcon::Error, boxes.Kinds[0].Icon);
    EXPECT_TRUE(settings.IsLoaded());
    EXPECT_EQ("http://root/docs", settings.SmetaDocsUrl());
    EXPECT_EQ(1u, server.Requests().size());
  }
}

}  // namespace
}  // namespace kv
