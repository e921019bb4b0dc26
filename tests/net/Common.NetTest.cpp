#include "net/Common.Net.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

namespace kv {
namespace {

using TParams = TUri::TParams;

TEST(UriTest, ParseCutsTheAddressIntoItsParts) {
  struct Case {
    const char* uri;
    const char* protocol;
    const char* userName;
    const char* password;
    const char* host;
    int32_t port;
    const char* path;
    const char* build;
  };
  const Case cases[] = {
      {"", "", "", "", "", 0, "", "://"},
      {"server", "", "", "", "server", 0, "", "://server"},
      {"server/path/x", "", "", "", "server", 0, "path/x", "://server/path/x"},
      {"http://host:81", "http", "", "", "host", 81, "", "http://host:81"},
      {"HTTP://user:pa:ss@Server1:8080/dav/docs/", "http", "user", "pa:ss", "server1", 8080,
       "dav/docs/", "http://user:pa:ss@server1:8080/dav/docs/"},
      {"https://user@Host/", "https", "user", "", "host", 0, "", "https://user:@host"},
      {"http://:secret@host", "http", "", "secret", "host", 0, "", "http://host"},
      {"http://host:0/p", "http", "", "", "host", 0, "p", "http://host/p"},
      {"http://host:65535//p", "http", "", "", "host", 65535, "/p", "http://host:65535/p"},
      {"ftp://host", "ftp", "", "", "host", 0, "", "ftp://host"},
      {"http://СЕРВЕР.рф/Путь", "http", "", "", "сервер.рф", 0, "Путь", "http://сервер.рф/Путь"},
      // An "@" after the host is part of the path or query and names no other host.
      {"http://good/x@evil/y", "http", "", "", "good", 0, "x@evil/y", "http://good/x@evil/y"},
      {"http://good?m=a@evil", "http", "", "", "good", 0, "", "http://good?m=a%40evil"},
      {"http://good#a@evil", "http", "", "", "good#a@evil", 0, "", "http://good#a@evil"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.uri);
    const TUri uri(c.uri);
    EXPECT_EQ(uri.SourceUri(), c.uri);
    EXPECT_EQ(uri.Protocol(), c.protocol);
    EXPECT_EQ(uri.UserName(), c.userName);
    EXPECT_EQ(uri.Password(), c.password);
    EXPECT_EQ(uri.Host(), c.host);
    EXPECT_EQ(uri.Port(), c.port);
    EXPECT_EQ(uri.Path(), c.path);
    EXPECT_EQ(uri.Build(), c.build);
    EXPECT_EQ(uri.ToString(), c.build);
  }
}

TEST(UriTest, QueryItemsBecomeDecodedParameters) {
  struct Case {
    std::string query;
    TParams params;
  };
  const Case cases[] = {
      {"a=1&b=%D0%90", {{"a", "1"}, {"b", "А"}}},
      {"x=%D0%90%20b+c", {{"x", "А b+c"}}},
      {"", {}},
      // Each item keeps its own value, and a repeated name keeps its first one.
      {"a=1&A=2", {{"a", "1"}, {"A", "2"}}},
      {"a=1&a=2", {{"a", "1"}}},
      {"a=b=c&=v", {{"a", "b=c"}, {"", "v"}}},
      {"flag&a=1", {{"", ""}, {"a", "1"}}},
      {"a=1&&b=2", {{"a", "1"}, {"", ""}, {"b", "2"}}},
      {"a=1&", {{"a", "1"}, {"", ""}}},
      // Blanks and control characters separate items too; double quotes group them.
      {" a=1 b=2\x01"
       "c=3 & d=4",
       {{"a", "1"}, {"b", "2"}, {"c", "3"}, {"d", "4"}}},
      {"\"a=x y\"&b=2", {{"a", "x y"}, {"b", "2"}}},
      {"\"a=say \"\"hi\"\"\"", {{"a", "say \"hi\""}}},
      {"\"a=1&b=2", {{"a", "1&b=2"}}},
      {"\"\"&b=2", {{"", ""}, {"b", "2"}}},
      // The text ends at a NUL.
      {std::string("a=1\0b=2", 7), {{"a", "1"}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.query);
    const TUri uri("http://host/p?" + c.query);
    EXPECT_EQ(uri.Params(), c.params);
    EXPECT_EQ(uri.Path(), "p");
    EXPECT_EQ(uri.PathAndQuery(), "p?" + c.query);
  }
}

TEST(UriTest, ParseRefusesBadPortsAndEscapesKeepingWhatItSetSoFar) {
  const char* const badPorts[] = {
      "http://host:/x", "http://host:x", "http://host:65536/", "http://host:-1", "http://host:+80",
      "http://host: 80", "http://host:99999999999999999999",
      // A bracketed IPv6 literal is not taken apart: its first ":" ends the host.
      "http://[::1]:8080/"};
  for (const char* address : badPorts) {
    SCOPED_TRACE(address);
    TUri uri;
    EXPECT_THROW(uri.Parse(address), EConvertError);
    EXPECT_EQ(uri.Protocol(), "http");
    EXPECT_EQ(uri.Port(), 0);
    EXPECT_EQ(uri.SourceUri(), address);
  }

  TUri uri("http://old:1/old?o=1");
  try {
    uri.Parse("HTTPS://U@New:2/new?a=1&b=%G1&c=3");
    FAIL() << "a malformed escape must be refused";
  } catch (const EConvertError& e) {
    EXPECT_EQ(e.Message(), "'%G1' is not a valid integer value");
  }
  EXPECT_EQ(uri.Protocol(), "https");
  EXPECT_EQ(uri.UserName(), "U");
  EXPECT_EQ(uri.Host(), "new");
  EXPECT_EQ(uri.Port(), 2);
  EXPECT_EQ(uri.Path(), "");
  EXPECT_EQ(uri.Params(), (TParams{{"a", "1"}}));
}

TEST(UriTest, BuildJoinsHostAndPathWithOneSlashAndEncodesTheQuery) {
  struct Case {
    const char* host;
    int32_t port;
    const char* path;
    const char* build;
  };
  const Case cases[] = {
      {"h", 0, "p", "http://h/p"},
      {"h/", 0, "/p", "http://h/p"},
      {"h/", 0, "p", "http://h/p"},
      {"h", 0, "/p", "http://h/p"},
      {"", 0, "p", "http://p"},
      {"h", 8080, "", "http://h:8080"},
      {"h", 8080, "/p", "http://h:8080/p"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.build);
    TUri uri;
    uri.SetProtocol("HTTP");
    uri.SetHost(c.host);
    uri.SetPort(c.port);
    uri.SetPath(c.path);
    EXPECT_EQ(uri.Build(), c.build);
  }

  TUri uri("http://host/p");
  uri.SetPassword("only");
  uri.Params().emplace("имя", "a b&c");
  uri.Params().emplace("n", "");
  EXPECT_EQ(uri.Build(), "http://host/p?n=&%D0%B8%D0%BC%D1%8F=a%20b%26c");
  EXPECT_EQ(uri.PathAndQuery(), "p");
}

TEST(UriTest, ParamByNameAndDefaults) {
  const TUri uri("http://host/p?Name=1&name=2");
  EXPECT_EQ(uri.ParamByName("name", false), "2");
  EXPECT_EQ(uri.ParamByName("NAME", false), "");
  EXPECT_EQ(uri.ParamByName("NAME", true), "1");
  EXPECT_EQ(uri.ParamByName("other", true), "");
  EXPECT_EQ(uri.PortOrDefault(80), 80);
  EXPECT_EQ(uri.ProtocolOrDefault("https"), "http");

  const TUri bare("host:8080");
  EXPECT_EQ(bare.PortOrDefault(80), 8080);
  EXPECT_EQ(bare.ProtocolOrDefault("https"), "https");
  EXPECT_EQ(TUri("h/dir/doc?x=%41").PathAndQuery(), "dir/doc?x=%41");
}

TEST(UriTest, InvalidUriExceptionIsAnException) {
  const EInvalidUriException e("bad");
  EXPECT_EQ(e.ClassName(), "EInvalidUriException");
  EXPECT_TRUE(e.InheritsFrom(Exception::ClassInfo()));
  EXPECT_EQ(e.Message(), "bad");
}

TEST(UrlEncodeTest, EncodesUtf8BytesOutsideTheKeptSet) {
  struct Case {
    const char* text;
    bool onlyUnsafe;
    const char* encoded;
  };
  const Case cases[] = {
      {"", false, ""},
      {"", true, ""},
      {"Az09", false, "Az09"},
      {"a-b_c.d~", false, "a%2Db%5Fc%2Ed%7E"},
      {"a b", false, "a%20b"},
      {"А€", false, "%D0%90%E2%82%AC"},
      {" &a", true, " %26a"},
      {"\"%&<>[\\]^`{|}", true, "%22%25%26%3C%3E%5B%5C%5D%5E%60%7B%7C%7D"},
      {"a-b_c.d~/?=:@!\t", true, "a-b_c.d~/?=:@!\t"},
      {"А€", true, "А€"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(UrlEncode(c.text, c.onlyUnsafe), c.encoded);
  }
}

TEST(UrlDecodeTest, DecodesEscapesAndRepairsWhatIsNotUtf8) {
  const std::string kBad = "\xEF\xBF\xBD";
  struct Case {
    std::string text;
    std::string decoded;
  };
  const Case cases[] = {
      {"", ""},
      {"%D0%90%20b", "А b"},
      {"a+b", "a+b"},
      {"%4a%4A", "JJ"},
      {"Привет%21", "Привет!"},
      {"%00", std::string(1, '\0')},
      // A "%" at the end takes the one character left.
      {"x%4", "x\x04"},
      {"%FF", kBad},
      {"%D0", kBad},
      {"%D0x", kBad + "x"},
      {"%C0%AF", kBad + kBad},
      {"%ED%A0%80", kBad + kBad + kBad},
      {"%F4%90%80%80", kBad + kBad + kBad + kBad},
      {"%E2%82x", kBad + "x"},
      {"%F0%9F%98%80", "\xF0\x9F\x98\x80"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(UrlDecode(c.text), c.decoded);
  }
  for (const char* malformed : {"%", "abc%", "%G1", "%1G", "% 1", "%+1", "%-1", "%%41"}) {
    SCOPED_TRACE(malformed);
    EXPECT_THROW(UrlDecode(malformed), EConvertError);
  }
}

TEST(UrlEncodeTest, DecodeReversesEncode) {
  for (const char* text : {"", "a b&c=d", "Смета №5 (итог).xml", "100%", "\x01\x7F"}) {
    SCOPED_TRACE(text);
    EXPECT_EQ(UrlDecode(UrlEncode(text, false)), text);
    EXPECT_EQ(UrlDecode(UrlEncode(text, true)), text);
  }
}

TEST(ExtractUrlFileNameTest, TakesTheLastSegment) {
  const std::pair<const char*, const char*> cases[] = {
      {"http://h/dir/name.ext", "name.ext"}, {"http://h/dir/", ""}, {"name", "name"}, {"", ""},
      {"dir\\sub/a\\b.txt", "b.txt"},
  };
  for (const auto& [url, name] : cases) {
    SCOPED_TRACE(url);
    EXPECT_EQ(ExtractUrlFileName(url), name);
  }
}

}  // namespace
}  // namespace kv
