#include "kvtool/KvTool.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <sstream>

#include "sysinfo/SysInfo.Core.Smeta9.h"

#include "platform/Shell.h"
#include "platform/Text.h"
#include "support/DavPeer.h"
#include "support/FakeShellFolders.h"
#include "support/LoopbackHttpServer.h"
#include "support/NormBaseFiles.h"
#include "support/SimpleDBaseWriter.h"
#include "support/TempFolder.h"

namespace kv {
namespace {

using nlohmann::json;
using test::HttpResponse;
using test::TLoopbackHttpServer;
using test::TRecordedRequest;

struct TRun {
  int ExitCode;
  std::string Out;
  std::string Err;
};

TRun RunTool(const std::vector<std::string>& args) {
  std::ostringstream out;
  std::ostringstream err;
  const int code = tool::RunKvTool(args, out, err);
  return {code, out.str(), err.str()};
}

TEST(KvToolTest, UriShowsTheParts) {
  const TRun text = RunTool({"uri", "HTTP://bob:pw@Example.COM:8080/a/b?x=1&y=%D0%90"});
  ASSERT_EQ(text.ExitCode, 0) << text.Err;
  EXPECT_NE(text.Out.find("host:     example.com\n"), std::string::npos) << text.Out;
  EXPECT_NE(text.Out.find("param:    y = А\n"), std::string::npos) << text.Out;
  EXPECT_EQ(text.Out.find("pw"), std::string::npos) << text.Out;

  const TRun parsed = RunTool({"uri", "--json", "http://host/p?x=1"});
  ASSERT_EQ(parsed.ExitCode, 0) << parsed.Err;
  const json document = json::parse(parsed.Out);
  EXPECT_EQ(document["host"], "host");
  EXPECT_EQ(document["port"], 0);
  EXPECT_EQ(document["params"]["x"], "1");

  const TRun bad = RunTool({"uri", "http://host:99999/"});
  EXPECT_EQ(bad.ExitCode, 1);
  EXPECT_EQ(bad.Out, "");
  EXPECT_TRUE(bad.Err.starts_with("kvtool: ")) << bad.Err;
}

TEST(KvToolTest, GetSavesTheBodyOrReportsTheStatus) {
  TLoopbackHttpServer server([](const TRecordedRequest& request) {
    return request.Target == "/file" ? HttpResponse(200, "OK", "file body")
                                     : HttpResponse(404, "Not Found", "missing");
  });
  const TRun body = RunTool({"get", server.Url("/file")});
  ASSERT_EQ(body.ExitCode, 0) << body.Err;
  EXPECT_EQ(body.Out, "file body");

  test::TTempFolder folder;
  const std::string file = folder.Path("saved.txt");
  const TRun saved = RunTool({"get", server.Url("/file"), "-o", file, "--json"});
  ASSERT_EQ(saved.ExitCode, 0) << saved.Err;
  const json document = json::parse(saved.Out);
  EXPECT_EQ(document["status"], 200);
  EXPECT_EQ(document["size"], 9);
  EXPECT_EQ(test::ReadFileBytes(file), "file body");

  const TRun missing = RunTool({"get", server.Url("/nothing"), "-o", file});
  EXPECT_EQ(missing.ExitCode, 1);
  EXPECT_EQ(missing.Out, "");
  EXPECT_EQ(missing.Err, "kvtool: 404: Not Found\n");
  EXPECT_EQ(test::ReadFileBytes(file), "file body");
}

TEST(KvToolTest, LsListsTheCollectionWithoutItself) {
  const std::string url = test::DavUrl();
  if (url.empty()) {
    GTEST_SKIP() << "no WebDAV peer: run the tests through ctest";
  }
  const TRun text = RunTool({"ls", url});
  ASSERT_EQ(text.ExitCode, 0) << text.Err;
  EXPECT_EQ(text.Out,
            "dir               -  2026-12-10 06:00:00  sub/\n"
            "file           1000  2026-12-10 06:00:00  data.bin\n"
            "file              0  2026-12-10 06:00:00  empty.txt\n"
            "file             12  2026-12-10 06:00:00  Документ.txt\n");

  const TRun parsed = RunTool({"ls", "--json", url});
  ASSERT_EQ(parsed.ExitCode, 0) << parsed.Err;
  const json document = json::parse(parsed.Out);
  ASSERT_EQ(document["entries"].size(), 4u);
  EXPECT_EQ(document["entries"][0]["name"], "sub");
  EXPECT_EQ(document["entries"][0]["kind"], "collection");
  EXPECT_EQ(document["entries"][3]["name"], "Документ.txt");
  EXPECT_EQ(document["entries"][3]["size"], 12);
  EXPECT_EQ(document["entries"][3]["modified"], "2026-12-10T06:00:00Z");
}

TEST(KvToolTest, DocsPrintsTheStorageTreeAndReadsItsDocuments) {
  const std::string url = test::DavDocumentsUrl();
  if (url.empty()) {
    GTEST_SKIP() << "no WebDAV peer: run the tests through ctest";
  }
  const TRun tree = RunTool({"docs", url});
  ASSERT_EQ(tree.ExitCode, 0) << tree.Err;
  EXPECT_EQ(tree.Out,
            "Пустая папка/\n"
            "Сметы/\n"
            "  Архив 2025/\n"
            "    Старая.kvs  (sdtSmeta)\n"
            "  Неизвестный.kvs  (external)\n"
            "  Смета №1.kvs  (sdtSmeta)\n"
            "  Текст.kvs  (external)\n"
            "  Цены.kvc  (sdtCennik)\n"
            "  Чертёж.pdf  (external)\n"
            "readme.txt  (external)\n"
            "Объект.kvo  (sdtObjSmeta)\n");

  const TRun parsed = RunTool({"docs", "--json", url});
  ASSERT_EQ(parsed.ExitCode, 0) << parsed.Err;
  const json document = json::parse(parsed.Out);
  const json& estimates = document["entries"][1];
  EXPECT_EQ(estimates["name"], "Сметы");
  EXPECT_EQ(estimates["kind"], "folder");
  EXPECT_EQ(estimates["entries"][4]["type"], "sdtCennik");
  EXPECT_EQ(estimates["entries"][5]["kind"], "external");
  EXPECT_EQ(estimates["entries"][5]["modified"], "2026-12-10T06:00:00Z");
  EXPECT_EQ(document["entries"][3]["kind"], "document");

  const std::string estimate = url + "%D0%A1%D0%BC%D0%B5%D1%82%D1%8B/%D0%A6%D0%B5%D0%BD%D1%8B.kvc";
  const TRun body = RunTool({"docs", "get", estimate});
  ASSERT_EQ(body.ExitCode, 0) << body.Err;
  EXPECT_EQ(body.Out, "price list body");

  test::TTempFolder folder;
  const std::string file = folder.Path("readme.txt");
  const TRun saved = RunTool({"docs", "get", url + "readme.txt", "-o", file, "--json"});
  ASSERT_EQ(saved.ExitCode, 0) << saved.Err;
  EXPECT_EQ(json::parse(saved.Out)["kind"], "external");
  EXPECT_EQ(test::ReadFileBytes(file), "read me");

  const TRun missing = RunTool({"docs", "get", url + "%D0%9D%D0%B5%D1%82.kvs"});
  EXPECT_EQ(missing.ExitCode, 1);
  EXPECT_EQ(missing.Err, "kvtool: Элемент \"Нет.kvs\" не найден\n");

  const TRun folderMissing = RunTool({"docs", url + "nothing/"});
  EXPECT_EQ(folderMissing.ExitCode, 1);
  EXPECT_NE(folderMissing.Err.find("404: Not Found"), std::string::npos) << folderMissing.Err;
}

TEST(KvToolTest, WrongCommandLinesExitWithTwo) {
  for (const std::vector<std::string>& args : {std::vector<std::string>{},
                                               {"fetch", "x"},
                                               {"get"},
                                               {"ls", "a", "b"},
                                               {"docs"},
                                               {"docs", "get"}}) {
    const TRun run = RunTool(args);
    EXPECT_EQ(run.ExitCode, 2);
    EXPECT_FALSE(run.Err.empty());
  }
}

TEST(KvToolTest, SdbListsAContainerAndExtractsItems) {
  test::TTempFolder temp;
  const std::string file = temp.Path("data.sdb");
  test::WriteFileBytes(
      file, test::WriteSimpleDBase(
                {{"Info", "", "descriptor"},
                 {"Раздел\\1", platform::EncodeCodePage(platform::AnsiCodePage(), "рабочие"),
                  "0123456789"},
                 {"Empty", "", ""}})
                .Bytes);
  const TRun text = RunTool({"sdb", file});
  ASSERT_EQ(text.ExitCode, 0) << text.Err;
  EXPECT_EQ(text.Out, "file:    " + file +
                          "\nversion: 5\nsorted:  no\nitems:   3\n"
                          "     0           10  Info\n"
                          "     1           10  Раздел\\1  [рабочие]\n"
                          "     2            0  Empty\n");

  const TRun parsed = RunTool({"sdb", "--json", file});
  ASSERT_EQ(parsed.ExitCode, 0) << parsed.Err;
  const json document = json::parse(parsed.Out);
  EXPECT_EQ(document["count"], 3);
  EXPECT_EQ(document["items"][1]["name"], "Раздел\\1");
  EXPECT_EQ(document["items"][1]["workData"], "рабочие");
  EXPECT_EQ(document["items"][1]["size"], 10);

  EXPECT_EQ(RunTool({"sdb", file, "Раздел\\1"}).Out, "0123456789");
  const std::string output = temp.Path("item.bin");
  const TRun saved = RunTool({"sdb", file, "Info", "-o", output});
  ASSERT_EQ(saved.ExitCode, 0) << saved.Err;
  EXPECT_EQ(saved.Out, "Info: 10 bytes saved to " + output + "\n");
  EXPECT_EQ(test::ReadFileBytes(output), "descriptor");

  // A missing item leaves an existing output file alone.
  const TRun missing = RunTool({"sdb", file, "Nothing", "-o", output});
  EXPECT_EQ(missing.ExitCode, 1);
  EXPECT_TRUE(missing.Err.starts_with("kvtool: ")) << missing.Err;
  EXPECT_EQ(test::ReadFileBytes(output), "descriptor");

  test::WriteFileBytes(temp.Path("garbage.sdb"), std::string(64, 'x'));
  const TRun garbage = RunTool({"sdb", temp.Path("garbage.sdb")});
  EXPECT_EQ(garbage.ExitCode, 1);
  EXPECT_NE(garbage.Err.find("garbage.sdb"), std::string::npos) << garbage.Err;
}

TEST(KvToolTest, BaseAndBasesDescribeNormativeBases) {
  test::TTempFolder temp;
  test::FakeSpecialFolders folders;
  folders.Set(platform::TSpecialFolder::CommonAppData, temp.Path("common"));
  const platform::TScopedCurrent<platform::ISpecialFolders> scope(folders);
  const TSmeta9CustomInformationClass& client = TSmeta9Information32::ClassInfo();

  const TRun none = RunTool({"bases"});
  ASSERT_EQ(none.ExitCode, 0) << none.Err;
  EXPECT_EQ(none.Out, "    Список доступных баз:\r\n      - Отсутствуют\n");

  platform::ForceDirectories(client.DBaseFolder());
  const std::string path = client.DBaseFolder() + "NB108123.kvd8";
  test::WriteNormBase(path, test::DescriptorBytes(test::SampleNormBaseInfo("Регион 8", 17)));
  const TRun base = RunTool({"base", path});
  ASSERT_EQ(base.ExitCode, 0) << base.Err;
  EXPECT_TRUE(
      base.Out.starts_with("      - Путь: " + path + "\r\n        - Наименование: Регион 8"))
      << base.Out;
  const json described = json::parse(RunTool({"base", "--json", path}).Out);
  EXPECT_EQ(described["dbCode"], "NB108123");
  EXPECT_EQ(described["version"], 17);
  EXPECT_EQ(described["date"], "2024-03-15T10:30:00");

  const TRun listed = RunTool({"bases"});
  ASSERT_EQ(listed.ExitCode, 0) << listed.Err;
  EXPECT_NE(listed.Out.find("\r\n      - Путь: " + path), std::string::npos) << listed.Out;
  const json document = json::parse(RunTool({"bases", "--json"}).Out);
  ASSERT_EQ(document["bases"].size(), 1u);
  EXPECT_EQ(document["bases"][0]["path"], path);
  EXPECT_EQ(document["bases"][0]["publisher"], "Территориальный");

  const TRun damaged = RunTool({"base", client.DBaseFolder()});
  EXPECT_EQ(damaged.ExitCode, 1);
}

TEST(KvToolTest, SettingsPrintsTheBuiltInOrTheLoadedAddresses) {
  const TRun builtIn = RunTool({"settings"});
  ASSERT_EQ(builtIn.ExitCode, 0) << builtIn.Err;
  EXPECT_EQ(builtIn.Out,
            "source:       built-in\n"
            "SmetaDocs:    http://update.kalvorsmeta.ru:81/Api/SmetaDocs\n"
            "DocTemplates: http://update.kalvorsmeta.ru:81/Api/DocTemplates\n"
            "ExpTemplates: http://update.kalvorsmeta.ru:81/Api/ExpTemplates\n");

  TLoopbackHttpServer server([](const TRecordedRequest& request) {
    return request.Target == "/settings.xml"
               ? HttpResponse(200, "OK",
                              "<Settings><Kvsmeta><SmetaDocs><Url>http://s/docs</Url></SmetaDocs>"
                              "<DocTemplates><Url>http://s/tpl</Url></DocTemplates>"
                              "<ExpTemplates><Url>http://s/exp</Url></ExpTemplates></Kvsmeta>"
                              "</Settings>")
               : HttpResponse(404, "Not Found", "");
  });
  const TRun loaded = RunTool({"settings", server.Url("/settings.xml"), "--json"});
  ASSERT_EQ(loaded.ExitCode, 0) << loaded.Err;
  const json document = json::parse(loaded.Out);
  EXPECT_EQ(document["source"], "loaded");
  EXPECT_EQ(document["smetaDocs"], "http://s/docs");
  EXPECT_EQ(document["docTemplates"], "http://s/tpl");
  EXPECT_EQ(document["expTemplates"], "http://s/exp");

  const TRun missing = RunTool({"settings", server.Url("/none.xml")});
  EXPECT_EQ(missing.ExitCode, 1);
  EXPECT_EQ(missing.Out, "");
  EXPECT_EQ(missing.Err, "kvtool: 404: Not Found\n");
}

}  // namespace
}  // namespace kv
