#include "kvtool/KvTool.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <sstream>

#include "support/DavPeer.h"
#include "support/LoopbackHttpServer.h"
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

TEST(KvToolTest, WrongCommandLinesExitWithTwo) {
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{}, {"fetch", "x"}, {"get"}, {"ls", "a", "b"}}) {
    const TRun run = RunTool(args);
    EXPECT_EQ(run.ExitCode, 2);
    EXPECT_FALSE(run.Err.empty());
  }
}

}  // namespace
}  // namespace kv
