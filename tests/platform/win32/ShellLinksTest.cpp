#include <gtest/gtest.h>

#include "base/Exceptions.h"
#include "platform/Files.h"
#include "platform/Shell.h"
#include "platform/Text.h"
#include "platform/win32/Com.h"
#include "support/TempFolder.h"

#include <shlobj.h>

namespace kv::platform {
namespace {

struct TLinkRead {
  std::string Target;
  std::string WorkingFolder;
};

// What the shell itself reads from the link file.
TLinkRead ReadLink(const std::string& linkFile) {
  win32::EnsureComInitialized();
  win32::com_ptr<IShellLinkW> link;
  EXPECT_EQ(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                             link.put_void()),
            S_OK);
  const auto file = link.query<IPersistFile>(IID_IPersistFile);
  EXPECT_EQ(file->Load(win32::Wide(linkFile).c_str(), STGM_READ), S_OK);
  wchar_t path[MAX_PATH] = {};
  EXPECT_EQ(link->GetPath(path, MAX_PATH, nullptr, SLGP_RAWPATH), S_OK);
  wchar_t folder[MAX_PATH] = {};
  EXPECT_EQ(link->GetWorkingDirectory(folder, MAX_PATH), S_OK);
  return {win32::Narrow(path), win32::Narrow(folder)};
}

TEST(ShellLinksTest, TheShellReadsBackTargetAndWorkingFolder) {
  test::TTempFolder folder;
  const std::string documents = folder.Path("Калвор-Divir\\");
  ForceDirectories(documents + "Сметы");
  test::WriteFileBytes(documents + "Прайс.xls", "x");
  ForceDirectories(folder.Path("Рабочий стол"));
  struct Case {
    std::string target;
    std::string workingFolder;
  };
  const Case cases[] = {
      {documents + "Сметы", documents},
      {documents + "Прайс.xls", documents},
  };
  for (const Case& c : cases) {
    const std::string linkFile = folder.Path("Рабочий стол\\Ярлык.lnk");
    CurrentShellLinks::Get().Create(linkFile, c.target, c.workingFolder);
    const TLinkRead link = ReadLink(linkFile);
    EXPECT_TRUE(SameTextLocale(link.Target, c.target)) << link.Target;
    EXPECT_EQ(link.WorkingFolder, c.workingFolder);
  }
}

TEST(ShellLinksTest, AFailedSaveRaisesTheSystemsError) {
  test::TTempFolder folder;
  const std::string linkFile = folder.Path("нет такой папки\\Ярлык.lnk");
  try {
    CurrentShellLinks::Get().Create(linkFile, folder.Path("x.txt"), folder.Path(""));
    FAIL() << "no error";
  } catch (const EOSError& e) {
    EXPECT_NE(e.ErrorCode(), 0u);
    EXPECT_NE(e.Message().find(linkFile), std::string::npos) << e.Message();
  }
  EXPECT_FALSE(FileExists(linkFile));
}

}  // namespace
}  // namespace kv::platform
