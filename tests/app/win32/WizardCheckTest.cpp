// The dry run of Swiftkit.exe under Wine, with the stand-in client installed: what it reports in
// its result file and exit code before and after an update, with an installed file held open,
// without a client and with bad input; and that it never touches what is installed.

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <filesystem>
#include <iostream>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "common/Common.SysUtils.h"
#include "platform/Files.h"
#include "platform/win32/Handles.h"
#include "support/StandInClient.h"
#include "support/TempFolder.h"
#include "support/Win32Registry.h"
#include "sysinfo/SysInfo.Core.Smeta9.h"

namespace kv::test {
namespace {

using nlohmann::json;
using platform::win32::Wide;

// The folder the package's files go to in both target roots: the test's own, removed after.
const std::string kOwnFolder = "WizardCheckTest";

void Write(const std::string& path, const std::string& bytes) {
  platform::ForceDirectories(ExtractFilePath(path));
  WriteFileBytes(path, bytes);
}

// Runs the program with its standard output and error going into outputFile, as a script that
// redirects them; its exit code, -1 when it could not be started or did not end.
int RunRedirected(const std::string& program, const std::vector<std::string>& args,
                  const std::string& outputFile) {
  SECURITY_ATTRIBUTES inherited{sizeof(inherited), nullptr, TRUE};
  platform::win32::unique_hfile output(CreateFileW(Wide(outputFile).c_str(), GENERIC_WRITE,
                                                   FILE_SHARE_READ, &inherited, CREATE_ALWAYS,
                                                   FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!output) {
    return -1;
  }
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdOutput = output.get();
  startup.hStdError = output.get();
  std::wstring commandLine = L"\"" + Wide(program) + L"\"";
  for (const std::string& arg : args) {
    commandLine += L" \"" + Wide(arg) + L"\"";
  }
  PROCESS_INFORMATION started{};
  if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                      &startup, &started)) {
    return -1;
  }
  const platform::win32::unique_handle process(started.hProcess);
  const platform::win32::unique_handle thread(started.hThread);
  DWORD exitCode = 0;
  if (WaitForSingleObject(process.get(), 120000) != WAIT_OBJECT_0 ||
      !GetExitCodeProcess(process.get(), &exitCode)) {
    TerminateProcess(process.get(), 1);
    return -1;
  }
  return static_cast<int>(exitCode);
}

// Every file and folder below the folder with its bytes.
void Snapshot(const std::string& folder, std::map<std::string, std::string>& files) {
  for (const platform::TFileEntry& entry : platform::FindFiles(folder, "*")) {
    if (entry.IsDirectory) {
      files[folder + entry.Name + "\\"];
      Snapshot(folder + entry.Name + "\\", files);
    } else {
      files[folder + entry.Name] = ReadFileBytes(folder + entry.Name);
    }
  }
}

class WizardCheckTest : public testing::Test {
 protected:
  void SetUp() override {
    const auto& client = TSmeta9Information32::ClassInfo();
    FRoots = {client.CommonDataFolder(), client.MyFolderRoot()};
    RemoveOwnFolders();
    const std::string location = FTemp.Path("Калвор\\");
    ASSERT_NO_FATAL_FAILURE(InstallWizardAndStandInClient(Folder(), location, FClientKey));

    Write(Folder() + "SwiftkitData\\Client\\" + kOwnFolder + "\\conf.dat", "new conf");
    Write(Folder() + "SwiftkitData\\Client\\" + kOwnFolder + "\\added.dat", "added");
    Write(Folder() + "SwiftkitData\\Калвор-Divir\\" + kOwnFolder + "\\Смета.txt", "новая смета");
    Write(Installed(0, "conf.dat"), "old");
    Write(Installed(1, "Смета.txt"), "старая смета");
  }

  void TearDown() override {
    FClientKey.reset();
    RemoveOwnFolders();
  }

  std::string Folder() const { return FTemp.Path("wizard\\"); }
  std::string Installed(int root, const std::string& name) const {
    return FRoots[root] + kOwnFolder + "\\" + name;
  }
  std::map<std::string, std::string> InstalledState() const {
    std::map<std::string, std::string> files;
    for (const std::string& root : FRoots) {
      Snapshot(root + kOwnFolder + "\\", files);
      Snapshot(root + "ExpressBackup\\", files);
    }
    return files;
  }

  // Runs Swiftkit.exe; its exit code, and in Output what it printed.
  int Run(const std::vector<std::string>& args) {
    const std::string output = FTemp.Path("output.txt");
    const int exitCode = RunRedirected(Folder() + "Swiftkit.exe", args, output);
    Output = ReadFileBytes(output);
    return exitCode;
  }

  // Runs the dry run with a result file; the result, with the exit code.
  json Check(int& exitCode) {
    const std::string result = FTemp.Path("result.json");
    platform::DeleteFile(result);
    exitCode = Run({"/check", "/result:" + result});
    return platform::FileExists(result) ? json::parse(ReadFileBytes(result)) : json();
  }

  void RemoveOwnFolders() const {
    std::error_code ignored;
    for (const std::string& root : FRoots) {
      std::filesystem::remove_all(std::filesystem::path(Wide(root + kOwnFolder)), ignored);
    }
  }

  std::vector<std::string> FRoots;
  std::unique_ptr<TTestRegistryKey> FClientKey;
  TTempFolder FTemp;
  std::string Output;
};

// The file's action and size as the report gives them.
std::map<std::string, std::string> Actions(const json& result) {
  std::map<std::string, std::string> actions;
  for (const json& file : result["files"]) {
    actions[file["path"].get<std::string>()] =
        file["action"].get<std::string>() + " " + std::to_string(file["size"].get<int64_t>());
  }
  return actions;
}

TEST_F(WizardCheckTest, BeforeAndAfterAnUpdateTheReportNamesEveryFileAndTouchesNothing) {
  const auto before = InstalledState();
  int exitCode = -1;
  const json result = Check(exitCode);
  EXPECT_EQ(exitCode, 0) << result.dump(2);
  EXPECT_NE(Output.find("Result: the update would go through cleanly (exit code 0)."),
            std::string::npos)
      << Output;
  EXPECT_EQ(InstalledState(), before);
  EXPECT_EQ(result["client"]["version"], "9.4.120.7");
  EXPECT_EQ(result["client"]["clientTarget"], FRoots[0]);
  EXPECT_EQ(Actions(result),
            (std::map<std::string, std::string>{{kOwnFolder + "\\conf.dat", "replace 8"},
                                                {kOwnFolder + "\\added.dat", "add 5"},
                                                {kOwnFolder + "\\Смета.txt", "replace 21"}}));
  ASSERT_EQ(result["space"].size(), 2u);
  for (const json& target : result["space"]) {
    EXPECT_TRUE(target["freeBytes"].is_number()) << target.dump();
    EXPECT_EQ(target["enough"], true);
  }

  // What the update leaves: the package's files in place of the installed ones.
  Write(Installed(0, "conf.dat"), "new conf");
  Write(Installed(0, "added.dat"), "added");
  Write(Installed(1, "Смета.txt"), "новая смета");
  const json after = Check(exitCode);
  EXPECT_EQ(exitCode, 0);
  for (const json& file : after["files"]) {
    EXPECT_EQ(file["action"], "replace") << file.dump();
    EXPECT_EQ(file["installedSize"], file["size"]) << file.dump();
  }
}

TEST_F(WizardCheckTest, AnInstalledFileHeldOpenIsNamed) {
  const std::string held = Installed(1, "Смета.txt");
  const platform::win32::unique_hfile file(CreateFileW(
      Wide(held).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  ASSERT_TRUE(file);
  int exitCode = -1;
  const json result = Check(exitCode);
  EXPECT_EQ(exitCode, 1) << result.dump(2);
  ASSERT_EQ(result["blocked"].size(), 1u) << result.dump(2);
  EXPECT_EQ(result["blocked"][0]["path"], held);
  EXPECT_NE(Output.find("In use: " + held + ", held by "), std::string::npos) << Output;
  // What Wine's Restart Manager says of the holder, for the record.
  std::cout << "holders as the system names them: " << result["blocked"][0]["holders"].dump()
            << "\n";
}

TEST_F(WizardCheckTest, WithoutAClientThePackageIsCheckedAndTheUpdateCouldNotRun) {
  FClientKey.reset();
  int exitCode = -1;
  const json result = Check(exitCode);
  EXPECT_EQ(exitCode, 2);
  EXPECT_EQ(result["client"]["found"], false);
  EXPECT_EQ(Actions(result).size(), 3u);
  EXPECT_TRUE(result["space"].empty());
}

TEST_F(WizardCheckTest, BadInputEndsWithItsCodeAndLeavesTheInstalledFilesAlone) {
  const auto before = InstalledState();
  struct {
    std::vector<std::string> args;
    int exitCode;
    std::string said;
  } const cases[] = {
      {{"/check", "/result:" + FTemp.Path("no such folder\\result.json")},
       2,
       "could not be written"},
      {{"/check", "/bogus"}, 4, "/bogus"},
      {{"/check", "/check"}, 4, "/check"},
      {{"/check", "/result:"}, 4, "/result:"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Run(c.args), c.exitCode) << c.args.back();
    EXPECT_NE(Output.find(c.said), std::string::npos) << Output;
  }
  std::filesystem::remove_all(std::filesystem::path(Wide(Folder() + "SwiftkitData")));
  EXPECT_EQ(Run({"/check"}), 2);
  EXPECT_NE(Output.find("Package: folder missing: "), std::string::npos) << Output;
  EXPECT_EQ(InstalledState(), before);
}

}  // namespace
}  // namespace kv::test
