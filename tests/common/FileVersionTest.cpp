#include "common/FileVersion.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>

#include "platform/Files.h"
#include "support/FakeVersionResources.h"

namespace kv {
namespace {

using V = TDigitalFileVersionInfo;

// ---- TDigitalFileVersionInfo ----

TEST(DigitalFileVersionTest, ParseFillsMissingNumbersWithZero) {
  struct Case {
    const char* text;
    V expected;
  };
  for (const Case& c :
       {Case{"9.1", V::Create(9, 1, 0, 0)}, Case{"9.2.300", V::Create(9, 2, 300, 0)},
        Case{"9.2.300.5", V::Create(9, 2, 300, 5)},
        Case{"-1.+2.0.2147483647", V::Create(-1, 2, 0, INT32_MAX)}}) {
    EXPECT_EQ(V::Parse(c.text).AsString(), c.expected.AsString()) << c.text;
  }
}

TEST(DigitalFileVersionTest, ParseErrorNamesTheTextAndThePiece) {
  struct Case {
    const char *text, *piece;
  };
  for (const Case& c :
       {Case{"9.x", "x"}, Case{"9", ""}, Case{"", ""}, Case{"9.1.2.3b", "3b"}, Case{"9..1", ""},
        Case{"9. 1", " 1"}, Case{"9.1.2147483648", "2147483648"}, Case{"9.0x10", "0x10"}}) {
    try {
      V::Parse(c.text);
      ADD_FAILURE() << "no error for " << c.text;
    } catch (const Exception& e) {
      EXPECT_EQ(e.ClassName(), "Exception");
      EXPECT_EQ(e.Message(), std::string("Ошибка при парсинге строки версии \"") + c.text +
                                 "\". Исключение: '" + c.piece + "' is not a valid integer value");
    }
  }
}

TEST(DigitalFileVersionTest, TextForms) {
  const V v = V::Create(9, 2, 300, 5);
  EXPECT_EQ(v.ShortVerAsString(), "9.2.300");
  EXPECT_EQ(v.AsString(), "9.2.300.5");
}

TEST(DigitalFileVersionTest, AsCardinalPacksMajorMinorRelease) {
  EXPECT_EQ(V::Create(9, 2, 300, 5).AsCardinal(), 0x0902012Cu);
  EXPECT_EQ(V::Create(9, 2, 300, 77).AsCardinal(), 0x0902012Cu);
  EXPECT_EQ(V::Create(1, 0x1FF, 0x12345, 0).AsCardinal(), 0x01FF2345u);
}

TEST(DigitalFileVersionTest, ComparesNumberByNumber) {
  struct Case {
    V a, b;
    int sign;
  };
  const Case cases[] = {
      {V::Create(9, 2, 300, 5), V::Create(9, 2, 300, 5), 0},
      {V::Create(9, 2, 300, 5), V::Create(9, 2, 300, 4), 1},
      {V::Create(9, 2, 299, 9), V::Create(9, 2, 300, 0), -1},
      {V::Create(9, 1, 999, 9), V::Create(9, 2, 0, 0), -1},
      {V::Create(10, 0, 0, 0), V::Create(9, 99, 99, 99), 1},
      {V::Create(INT32_MAX, 0, 0, 0), V::Create(-1, 0, 0, 0), 1},
      {V::Create(INT32_MIN, 0, 0, 0), V::Create(1, 0, 0, 0), -1},
  };
  for (const Case& c : cases) {
    const int64_t result = V::Compare(c.a, c.b);
    EXPECT_EQ((result > 0) - (result < 0), c.sign) << c.a.AsString() << " vs " << c.b.AsString();
    EXPECT_EQ(c.a == c.b, c.sign == 0);
    EXPECT_EQ(c.a < c.b, c.sign < 0);
    EXPECT_EQ(c.a <= c.b, c.sign <= 0);
    EXPECT_EQ(c.a > c.b, c.sign > 0);
    EXPECT_EQ(c.a >= c.b, c.sign >= 0);
  }
  EXPECT_EQ(V::Compare(V::Create(9, 2, 300, 5), V::Create(9, 2, 296, 5)), 4);
}

// ---- TFileVersionInfo ----

constexpr const char* kRussian = "\\StringFileInfo\\041904E3\\";
constexpr const char* kEnglish = "\\StringFileInfo\\040904E4\\";

// A real file on disk (the record checks its existence, size and time) with a made-up version
// resource.
class FileVersionInfoTest : public testing::Test {
 protected:
  void SetUp() override {
    FFile = platform::TempFolder() + "kv_fileversion_" +
            testing::UnitTest::GetInstance()->current_test_info()->name() + ".exe";
    platform::OpenFile(FFile, platform::TFileOpenMode::Create)
        ->Write(std::string(1234, 'x').data(), 1234);
  }
  void TearDown() override { platform::DeleteFile(FFile); }

  void AddResource(std::vector<uint8_t> translation, std::map<std::string, std::string> strings) {
    FResources.Add(
        FFile, {std::move(translation), platform::IVersionResource::TFixed{0x00090002, 0x012C0005},
                std::move(strings)});
  }

  std::string FFile;
  test::FakeVersionResources FResources;
  platform::TScopedCurrent<platform::IFileVersionResources> FScope{FResources};
};

const std::vector<uint8_t> kRussianTranslation{0x19, 0x04, 0xE3, 0x04};

TEST_F(FileVersionInfoTest, ReadsItsOwnLanguageTable) {
  std::map<std::string, std::string> strings;
  for (const char* key :
       {"CompanyName", "FileDescription", "InternalName", "LegalCopyright", "LegalTrademark",
        "OriginalFilename", "ProductName", "ProductVersion", "Comments", "FileVersion"}) {
    strings[std::string(kRussian) + key] = std::string("ru ") + key;
    strings[std::string(kEnglish) + key] = std::string("en ") + key;
  }
  strings[std::string(kRussian) + "CompanyName"] = "ООО «Калвор»";
  AddResource(kRussianTranslation, strings);

  TFileVersionInfo info;
  ASSERT_TRUE(info.ReadFromFile(FFile));
  EXPECT_EQ(info.LanguageInfo, "041904E3");
  EXPECT_EQ(info.CompanyName, "ООО «Калвор»");
  EXPECT_EQ(info.FileDescription, "ru FileDescription");
  EXPECT_EQ(info.InternalName, "ru InternalName");
  EXPECT_EQ(info.LegalCopyRight, "ru LegalCopyright");
  EXPECT_EQ(info.LegalTradeMark, "ru LegalTrademark");
  EXPECT_EQ(info.OriginalFileName, "ru OriginalFilename");
  EXPECT_EQ(info.ProductName, "ru ProductName");
  EXPECT_EQ(info.ProductVersion, "ru ProductVersion");
  EXPECT_EQ(info.Comments, "ru Comments");
  // From the fixed information, never from the string table.
  EXPECT_EQ(info.FileVersion, "9.2.300.5");
  EXPECT_EQ(info.DigitalFileVersion.AsString(), "9.2.300.5");
  EXPECT_EQ(info.FileSize, 1234u);
  EXPECT_LT(std::fabs(info.ModifiedDate - platform::Now()), 1.0 / 24) << info.ModifiedDate;
}

TEST_F(FileVersionInfoTest, FallsBackToTheEnglishTableThenToNA) {
  AddResource(kRussianTranslation, {{std::string(kEnglish) + "CompanyName", "Kalvor"},
                                    {std::string(kRussian) + "ProductName", "Калвор-Смета"},
                                    {std::string(kEnglish) + "ProductName", "Kalvor Smeta"}});
  TFileVersionInfo info;
  ASSERT_TRUE(info.ReadFromFile(FFile));
  EXPECT_EQ(info.LanguageInfo, "041904E3");
  EXPECT_EQ(info.CompanyName, "Kalvor");
  EXPECT_EQ(info.ProductName, "Калвор-Смета");
  EXPECT_EQ(info.Comments, "n/a");
  EXPECT_EQ(info.LegalCopyRight, "n/a");
}

TEST_F(FileVersionInfoTest, AShortTranslationMeansTheEnglishTable) {
  AddResource({0x19, 0x04}, {{std::string(kEnglish) + "CompanyName", "Kalvor"}});
  TFileVersionInfo info;
  ASSERT_TRUE(info.ReadFromFile(FFile));
  EXPECT_EQ(info.LanguageInfo, "040904E4");
  EXPECT_EQ(info.CompanyName, "Kalvor");
  EXPECT_EQ(info.ProductName, "n/a");
}

TEST_F(FileVersionInfoTest, MissingFileOrResourceGivesFalseAndAClearedRecord) {
  TFileVersionInfo filled;
  filled.CompanyName = "old";
  filled.DigitalFileVersion = V::Create(1, 2, 3, 4);
  filled.FileSize = 7;

  // No resource for the existing file.
  TFileVersionInfo info = filled;
  EXPECT_FALSE(info.ReadFromFile(FFile));
  EXPECT_EQ(info.CompanyName, "");
  EXPECT_EQ(info.DigitalFileVersion, V{});
  EXPECT_EQ(info.FileSize, 0u);
  EXPECT_EQ(V::CreateFromFile(FFile), V{});

  // A resource, but no file.
  const std::string missing = FFile + ".missing";
  FResources.Add(missing,
                 {kRussianTranslation, platform::IVersionResource::TFixed{0x00090002, 0}, {}});
  info = filled;
  EXPECT_FALSE(info.ReadFromFile(missing));
  EXPECT_EQ(info.CompanyName, "");
  EXPECT_EQ(V::CreateFromFile(missing), V{});
}

TEST_F(FileVersionInfoTest, CreateFromFileTakesTheFixedVersion) {
  AddResource(kRussianTranslation, {});
  EXPECT_EQ(V::CreateFromFile(FFile).AsString(), "9.2.300.5");
}

}  // namespace
}  // namespace kv
