#include "storage/Kv.Doc.Properties.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "base/DateTime.h"
#include "common/Common.Classes.h"
#include "platform/System.h"

namespace kv {
namespace {

constexpr std::string_view kBom = "\xEF\xBB\xBF";

std::string Saved(const TKvDocCommonProperties& properties) {
  TMemoryStream stream;
  properties.SaveToStream(stream);
  std::string bytes(static_cast<size_t>(stream.Size()), '\0');
  stream.SetPosition(0);
  stream.ReadBuffer(bytes.data(), stream.Size());
  return bytes;
}

TKvDocCommonProperties Loaded(const std::string& text) {
  TMemoryStream stream;
  stream.WriteBuffer(text.data(), static_cast<int64_t>(text.size()));
  stream.SetPosition(0);
  TKvDocCommonProperties properties = TKvDocCommonProperties::Create(sdtIndexes);
  properties.Attribs.Comment = "left over";
  properties.LoadFromStream(stream);
  return properties;
}

// The lines of a saved text without the byte-order mark and without the program's version, which
// depends on the running program.
std::vector<std::string> Lines(const std::string& saved) {
  EXPECT_TRUE(saved.starts_with(kBom));
  std::vector<std::string> lines;
  size_t start = kBom.size();
  while (start < saved.size()) {
    size_t end = saved.find("\r\n", start);
    EXPECT_NE(end, std::string::npos) << "a line without CR LF";
    if (end == std::string::npos)
      break;
    std::string line = saved.substr(start, end - start);
    EXPECT_EQ(line.find_first_of("\r\n"), std::string::npos) << line;
    if (!line.starts_with("KvsmetaVersion=")) {
      lines.push_back(line);
    }
    start = end + 2;
  }
  return lines;
}

TKvDocCommonProperties FullRecord() {
  TKvDocCommonProperties p = TKvDocCommonProperties::Create(sdtTranspCalc);
  p.Attribs = {"ЛС-1", "Рег. 7", "Школа\r\nкорпус 2", "Стройка", "Объект", "Описание\n", "A\rB"};
  p.Total = 123456789;
  p.TotalCalcMethod = scmRes;
  p.RegionInfo = {"Москва", "Зона 1"};
  p.KVFXData.Revision = -5;
  p.KVFXData.Crypted = true;
  p.KVFXData.SignType = 200;
  p.KVFXData.ModifyDate = EncodeDateTime(2026, 12, 10, 7, 5, 9);
  p.KVFXData.SecurityOptions = {true, false, true, false};
  return p;
}

TEST(KvDocCommonPropertiesTest, SavesEveryFieldAsOneLineInItsOrderAndReadsItBack) {
  const TKvDocCommonProperties p = FullRecord();
  const std::string saved = Saved(p);
  EXPECT_EQ(Lines(saved), (std::vector<std::string>{
                              "DocType=sdtTranspCalc",
                              "Attribs.LocNum=ЛС-1",
                              "Attribs.RegNum=Рег. 7",
                              "Attribs.ObjName=Школа#13#10корпус 2",
                              "Attribs.ConName=Стройка",
                              "Attribs.StgName=Объект",
                              "Attribs.Comment=A#13B",
                              "Attribs.Description=Описание#10",
                              "Total=12345.6789",
                              "TotalCalcMethod=Res",
                              "RegionInfo.RegionName=Москва",
                              "RegionInfo.ZoneName=Зона 1",
                              "Revision=-5",
                              "Crypted=True",
                              "DisabledOptions=Modify,Export",
                              "SignType=200",
                              "ModifyDate=10.12.2026 7:05:09",
                          }));
  EXPECT_NE(saved.find("\r\nKvsmetaVersion="), std::string::npos);
  EXPECT_EQ(Loaded(saved), p);
}

// Empty texts write no line; the record made for a type keeps its zero revision.
TEST(KvDocCommonPropertiesTest, EmptyValuesWriteNoLine) {
  TKvDocCommonProperties p = TKvDocCommonProperties::Create(sdtCennik);
  EXPECT_EQ(Lines(Saved(p)),
            (std::vector<std::string>{"DocType=sdtCennik", "Revision=0", "Crypted=False",
                                      "SignType=0", "ModifyDate=30.12.1899"}));
  EXPECT_EQ(Loaded(Saved(p)), p);
}

// A line break in any text, the number and region fields included, must not start a line of its
// own: it would set keys of its own choosing.
TEST(KvDocCommonPropertiesTest, LineBreaksInTextsCannotInjectKeys) {
  const std::string injected = "x\r\nDocType=sdtCennik\nTotal=5\rRevision=9";
  TKvDocCommonProperties p = TKvDocCommonProperties::Create(sdtSmeta);
  for (std::string* field :
       {&p.Attribs.LocNum, &p.Attribs.RegNum, &p.Attribs.ObjName, &p.Attribs.ConName,
        &p.Attribs.StgName, &p.Attribs.Description, &p.Attribs.Comment, &p.RegionInfo.RegionName,
        &p.RegionInfo.ZoneName}) {
    *field = injected;
  }
  const TKvDocCommonProperties back = Loaded(Saved(p));
  EXPECT_EQ(back.DocType, sdtSmeta);
  EXPECT_EQ(back.Total, 0);
  EXPECT_EQ(back.KVFXData.Revision, 0);
  EXPECT_EQ(back.Attribs, p.Attribs);
  EXPECT_EQ(back.RegionInfo, p.RegionInfo);
}

TEST(KvDocCommonPropertiesTest, TotalIsWrittenInItsShortestFormAndReadBack) {
  struct Case {
    int64_t total;
    const char* text;
  };
  const Case cases[] = {
      {10000, "1"},
      {15000, "1.5"},
      {1, "0.0001"},
      {-125000, "-12.5"},
      {1230000, "123"},
      {std::numeric_limits<int64_t>::max(), "922337203685477.5807"},
      {std::numeric_limits<int64_t>::min(), "-922337203685477.5808"},
  };
  for (const Case& c : cases) {
    TKvDocCommonProperties p = TKvDocCommonProperties::Create(sdtSmeta);
    p.Total = c.total;
    p.TotalCalcMethod = scmBInd;
    const std::string saved = Saved(p);
    EXPECT_NE(saved.find(std::string("\r\nTotal=") + c.text + "\r\nTotalCalcMethod=BaseIndex\r\n"),
              std::string::npos)
        << c.text;
    const TKvDocCommonProperties back = Loaded(saved);
    EXPECT_EQ(back.Total, c.total) << c.text;
    EXPECT_EQ(back.TotalCalcMethod, scmBInd) << c.text;
  }
}

TEST(KvDocCommonPropertiesTest, ReadingTakesTheDefaultForMissingOrBadValues) {
  struct Case {
    const char* text;
    TSmetaDocumentType docType;
    int64_t total;
    TSmetaCalcMethod method;
    int32_t revision;
    uint8_t signType;
    bool crypted;
  };
  const Case cases[] = {
      {"", sdtSmeta, 0, scmBase, 1, 0, false},
      {"DocType=SDTCENNIK", sdtCennik, 0, scmBase, 1, 0, false},
      {"DocType=sdtUnknown\r\nDocType=sdtCennik", sdtSmeta, 0, scmBase, 1, 0, false},
      {"doctype=sdtNBDoc", sdtNBDoc, 0, scmBase, 1, 0, false},
      {"TotalCalcMethod=Res", sdtSmeta, 0, scmBase, 1, 0, false},
      {"Total=2\nTotalCalcMethod=res", sdtSmeta, 20000, scmBase, 1, 0, false},
      {"Total=2\rTotalCalcMethod=Res", sdtSmeta, 20000, scmRes, 1, 0, false},
      {"Total= 0.12345 ", sdtSmeta, 1235, scmBase, 1, 0, false},
      {"Total=922337203685477.5808", sdtSmeta, 0, scmBase, 1, 0, false},
      {"Total=-922337203685477.58081", sdtSmeta, std::numeric_limits<int64_t>::min(), scmBase, 1, 0,
       false},
      {"Total=99999999999999999999999", sdtSmeta, 0, scmBase, 1, 0, false},
      {"Total=1,5", sdtSmeta, 0, scmBase, 1, 0, false},
      {"Total=1.2.3", sdtSmeta, 0, scmBase, 1, 0, false},
      {"Total=.", sdtSmeta, 0, scmBase, 1, 0, false},
      {"Total=1e3", sdtSmeta, 0, scmBase, 1, 0, false},
      {"Revision=2147483647", sdtSmeta, 0, scmBase, 2147483647, 0, false},
      {"Revision=-2147483648", sdtSmeta, 0, scmBase, -2147483647 - 1, 0, false},
      {"Revision=2147483648", sdtSmeta, 0, scmBase, 1, 0, false},
      {"Revision=99999999999999999999", sdtSmeta, 0, scmBase, 1, 0, false},
      {"Revision=7x", sdtSmeta, 0, scmBase, 1, 0, false},
      {"SignType=255", sdtSmeta, 0, scmBase, 1, 255, false},
      {"SignType=256", sdtSmeta, 0, scmBase, 1, 0, false},
      {"SignType=-1", sdtSmeta, 0, scmBase, 1, 0, false},
      {"Crypted=TRUE", sdtSmeta, 0, scmBase, 1, 0, true},
      {"Crypted=1", sdtSmeta, 0, scmBase, 1, 0, true},
      {"Crypted=yes", sdtSmeta, 0, scmBase, 1, 0, false},
      {"no equals sign\r\n=value\r\nRevision=3", sdtSmeta, 0, scmBase, 3, 0, false},
  };
  for (const Case& c : cases) {
    const TKvDocCommonProperties p = Loaded(c.text);
    EXPECT_EQ(p.DocType, c.docType) << c.text;
    EXPECT_EQ(p.Total, c.total) << c.text;
    EXPECT_EQ(p.TotalCalcMethod, c.method) << c.text;
    EXPECT_EQ(p.KVFXData.Revision, c.revision) << c.text;
    EXPECT_EQ(p.KVFXData.SignType, c.signType) << c.text;
    EXPECT_EQ(p.KVFXData.Crypted, c.crypted) << c.text;
    EXPECT_EQ(p.Attribs.Comment, "") << c.text;
  }
}

TEST(KvDocCommonPropertiesTest, ACommentWithALineBreakStaysOnOneLine) {
  TKvDocCommonProperties p = TKvDocCommonProperties::Create(sdtSmeta);
  p.Attribs.Comment = "первая\r\nвторая";
  EXPECT_NE(Saved(p).find("\r\nAttribs.Comment=первая#13#10вторая\r\n"), std::string::npos);
  EXPECT_EQ(Loaded("Attribs.Comment=a#13#10b#10").Attribs.Comment, "a\r\nb\n");
}

TEST(KvDocCommonPropertiesTest, ModifyDateReadsWhatIsWrittenAndFallsBackToNow) {
  for (TDateTime date :
       {EncodeDateTime(2026, 2, 28, 0, 0, 0), EncodeDateTime(2024, 2, 29, 23, 59, 59),
        EncodeDateTime(1899, 12, 30, 12, 0, 0), EncodeDateTime(1, 1, 1, 0, 0, 1)}) {
    TKvDocCommonProperties p = TKvDocCommonProperties::Create(sdtSmeta);
    p.KVFXData.ModifyDate = date;
    EXPECT_EQ(Loaded(Saved(p)).KVFXData.ModifyDate, date);
  }
  for (TDateTime date : {std::nan(""), 1e300, EncodeDateTime(1, 1, 1, 0, 0, 0) - 1}) {
    TKvDocCommonProperties p = TKvDocCommonProperties::Create(sdtSmeta);
    p.KVFXData.ModifyDate = date;
    EXPECT_EQ(Saved(p).find("ModifyDate"), std::string::npos) << date;
  }
  EXPECT_EQ(Loaded("ModifyDate=1.2.2025 3:04").KVFXData.ModifyDate,
            EncodeDateTime(2025, 2, 1, 3, 4, 0));
  for (const char* text : {"", "ModifyDate=", "ModifyDate=29.02.2025", "ModifyDate=31.04.2025",
                           "ModifyDate=10.12.2026 24:00:00", "ModifyDate=10.12.2026 7:60",
                           "ModifyDate=2026-12-10", "ModifyDate=10.12.2026 7:05:09 x"}) {
    const TDateTime before = platform::Now();
    const TDateTime read = Loaded(text).KVFXData.ModifyDate;
    const TDateTime after = platform::Now();
    EXPECT_TRUE(read >= before && read <= after) << text;
  }
}

TEST(SecurityOptionsTest, WordsOfTheSetFlags) {
  struct Case {
    TSecurityOptions options;
    const char* text;
  };
  const Case cases[] = {{{true, true, true, true}, "Modify,Copy,Export,Save"},
                        {{}, ""},
                        {{false, true, false, true}, "Copy,Save"}};
  for (const Case& c : cases) {
    EXPECT_EQ(c.options.ToString(), c.text);
    EXPECT_EQ(TSecurityOptions::FromString(c.text), c.options) << c.text;
  }
  EXPECT_EQ(TSecurityOptions::FromString("save,,MODIFY,Unknown"),
            (TSecurityOptions{true, false, false, true}));
}

}  // namespace
}  // namespace kv
