// The update's speed beside the system's own tree copy, its peak memory, and the longest time the
// window would go without a message pump; then the scan of a large package. It prints figures
// and checks nothing.
//
//   kv_update_bench [--quick] [--rounds N] [--pause SECONDS] [--only mixed|big|scan]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <random>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "BenchSystem.h"
#include "app/Package.h"
#include "app/ShortcutTree.h"
#include "app/dlgEasySetup.h"
#include "base/Exceptions.h"
#include "platform/Current.h"
#include "platform/Files.h"
#include "platform/Shell.h"
#include "support/WizardWorld.h"

namespace kv::bench {
namespace {

using Clock = std::chrono::steady_clock;
using app::TTreeNode;

constexpr int64_t kMiB = 1024 * 1024;

double Seconds(Clock::duration duration) {
  return std::chrono::duration<double>(duration).count();
}

// A tree that keeps only its nodes' data, and draws them all on request.
class HeadlessTree final : public app::ICheckedTree {
 public:
  TTreeNode AddChildFirst(TTreeNode, const std::string&, int, int data) override {
    return Add(data);
  }
  TTreeNode AddChild(TTreeNode, const std::string&, int, int data) override { return Add(data); }
  void Delete(TTreeNode) override {}
  int Count() const override { return static_cast<int>(FData.size()); }
  TTreeNode Item(int index) const override { return Node(index + 1); }
  TTreeNode Parent(TTreeNode) const override { return nullptr; }
  std::string Text(TTreeNode) const override { return {}; }
  int Data(TTreeNode node) const override {
    return FData.at(static_cast<size_t>(reinterpret_cast<uintptr_t>(node)) - 1);
  }
  bool GetChecked(TTreeNode) const override { return false; }
  void SetChecked(TTreeNode, bool, bool) override {}
  void Expand(TTreeNode) override {}
  void CollapseAll(TTreeNode) override {}
  void MakeTopItem(TTreeNode) override {}
  void SetCheckBox(bool) override {}
  void SetOnCheck(app::TOnCheckEvent) override {}
  void SetImageList(platform::TImageListHandle) override {}
  void SetOnGetImageIndex(app::TOnGetImageIndex handler) override {
    FGetImageIndex = std::move(handler);
  }

  // Every node's image, as a tree view asks for it when it shows the whole tree.
  void DrawAll() const {
    for (int i = 0; i < Count(); ++i) {
      FGetImageIndex(Item(i));
    }
  }

 private:
  static TTreeNode Node(int number) {
    return reinterpret_cast<TTreeNode>(static_cast<uintptr_t>(number));
  }
  TTreeNode Add(int data) {
    FData.push_back(data);
    return Node(Count());
  }
  std::vector<int> FData;
  app::TOnGetImageIndex FGetImageIndex;
};

// A window that shows nothing: it counts failures and times the gaps between message pumps.
class HeadlessView final : public app::IEasySetupView {
 public:
  void Show(app::TViewPart, bool) override {}
  void SetStatus(const std::string&) override {}
  void SetTreeCaption(const std::string&) override {}
  void SetFinishText(const std::string&) override {}
  void SetNextCaption(const std::string&) override {}
  void SetEnabled(app::TWizardButton, bool) override {}
  void ShowPressed(app::TWizardButton, bool) override {}
  void AppendLog(const std::string& line) override {
    FLastLine = line;
    if (line.starts_with("Ошибка")) {
      ++Failures;
      std::cerr << line << '\n';
    }
  }
  void ScrollLogToEnd() override {}
  void SetEntryCount(int) override {}
  void StepEntries() override {}
  void SetFilePercent(int) override {}
  bool Ask(const std::string& question) override {
    std::cerr << question << '\n';
    return false;
  }
  void ShowWarning(const std::string& text) override { std::cerr << text << '\n'; }
  void ShowError(const std::string& text) override { std::cerr << text << '\n'; }
  void ShowMessage(const std::string& text) override { std::cerr << text << '\n'; }
  void BlockSessionEnd(const std::string&) override {}
  void AllowSessionEnd() override {}
  void ProcessMessages() override {
    const Clock::time_point now = Clock::now();
    if (Pumps == 0) {
      BeforeFirstPump = now - FLast;
    } else {
      if (now - FLast > LongestGap) {
        LongestGap = now - FLast;
        GapAfter = FLastLine + " / pump " + std::to_string(Pumps);
      }
    }
    FLast = now;
    ++Pumps;
  }
  void Close() override {}
  [[noreturn]] void Halt(int exitCode) override { std::exit(exitCode); }
  platform::TWindowHandle Handle() const override { return platform::TWindowHandle::None; }
  app::ICheckedTree& Tree() override { return FTree; }

  void Start() { FLast = Clock::now(); }

  int Failures = 0;
  int64_t Pumps = 0;
  // Where the longest gap ended: the last log line and the pump's number.
  std::string GapAfter;
  Clock::duration BeforeFirstPump{};
  Clock::duration LongestGap{};

 private:
  HeadlessTree FTree;
  Clock::time_point FLast;
  std::string FLastLine;
};

std::filesystem::path StdPath(std::string path) {
  std::replace(path.begin(), path.end(), '\\', '/');
  return std::u8string(path.begin(), path.end());
}

// An emptied folder, as a fresh target.
void Empty(const std::string& folder) {
  std::filesystem::remove_all(StdPath(folder));
  platform::ForceDirectories(folder);
}

struct TPackageFile {
  app::TPackageTree Tree;
  std::string Path;
  int64_t Size;
};

// Files of mixed sizes in nested folders of both trees, about totalBytes in all: mostly small
// ones (some empty), a fifth of medium size, one in forty large.
std::vector<TPackageFile> MixedPackage(int count, int64_t totalBytes) {
  static const char* const extensions[] = {".dat", ".xml", ".xls", ".doc", ".pdf", ".txt", ".exe"};
  std::mt19937_64 random(20240305);
  std::vector<TPackageFile> files;
  int64_t total = 0;
  for (int i = 0; i < count; ++i) {
    const auto between = [&](int64_t low, int64_t high) {
      return std::uniform_int_distribution<int64_t>(low, high)(random);
    };
    const int64_t size = i % 40 == 0  ? between(4 * kMiB, 24 * kMiB)
                         : i % 5 == 0 ? between(64 * 1024, 2 * kMiB)
                                      : between(0, 48 * 1024);
    const std::string path = "Папка " + std::to_string(i / 2 % 10) + "\\Раздел " +
                             std::to_string(i / 20 % 5) + "\\Файл " + std::to_string(i) +
                             extensions[i % 7];
    files.push_back(
        {i % 2 == 0 ? app::TPackageTree::Client : app::TPackageTree::Document, path, size});
    total += size;
  }
  for (TPackageFile& file : files) {
    file.Size = file.Size * totalBytes / total;
  }
  return files;
}

// Writes the files below the package's trees, with bytes that differ from file to file.
void WritePackage(const test::TWizardWorld& world, const std::vector<TPackageFile>& files) {
  std::vector<char> pattern(static_cast<size_t>(kMiB) + 4096);
  std::mt19937 random(7);
  std::generate(pattern.begin(), pattern.end(), [&] { return static_cast<char>(random()); });
  int64_t shift = 0;
  for (const TPackageFile& file : files) {
    const std::string path =
        (file.Tree == app::TPackageTree::Document ? world.DocumentTree : world.ClientTree) +
        file.Path;
    platform::ForceDirectories(path.substr(0, path.find_last_of('\\')));
    const auto out = platform::OpenFile(path, platform::TFileOpenMode::Create);
    shift = (shift + 4099) % 4096;
    for (int64_t written = 0; written < file.Size;) {
      const int64_t length = std::min<int64_t>(kMiB, file.Size - written);
      written += out->Write(pattern.data() + shift, length);
    }
  }
}

struct TCopyRun {
  double Seconds = 0;
  uint64_t PeakBytes = 0;
  // Resident when the update began.
  uint64_t StartBytes = 0;
  HeadlessView View;
};

// Before each timed run: the files written so far go to the disk, and the machine gets pause to
// finish what that set off. Both sides then start alike. (A virtual machine may give memory just
// freed back to its host, after which each page costs a fault there when it is used again; and
// some file systems look past every file deleted in the last minute when they make a new one.)
void Settle(const test::TWizardWorld& world, std::chrono::seconds pause) {
  FlushFileSystem(world.Temp.Path(""));
  std::this_thread::sleep_for(pause);
}

// One update of the world's package into its targets, as the copy page runs it.
void RunUpdate(const test::TWizardWorld& world, std::chrono::seconds pause, TCopyRun& run) {
  app::TfrmEasySetup form(run.View, world.ProgramFolder);
  form.FormCreate();
  Settle(world, pause);
  ResetPeakMemory();
  run.StartBytes = ResidentMemoryBytes();
  run.View.Start();
  const Clock::time_point start = Clock::now();
  form.SetPageState(app::TPageState::psCopyData);
  run.Seconds = Seconds(Clock::now() - start);
  run.PeakBytes = PeakMemoryBytes();
}

// The system's tool copying the package into the world's targets.
double RunCopyTool(const test::TWizardWorld& world, std::chrono::seconds pause) {
  Settle(world, pause);
  const Clock::time_point start = Clock::now();
  CopyTree(world.ClientTree, world.CommonDataFolder);
  CopyTree(world.DocumentTree, world.MyFolderRoot);
  return Seconds(Clock::now() - start);
}

std::string Fixed(double value, int decimals) {
  char text[32];
  std::snprintf(text, sizeof text, "%.*f", decimals, value);
  return text;
}

// The middle of the times, the mean of the two middle ones for an even count.
double Median(std::vector<double> times) {
  std::sort(times.begin(), times.end());
  const size_t middle = times.size() / 2;
  return times.size() % 2 != 0 ? times[middle] : (times[middle - 1] + times[middle]) / 2;
}

// Runs the update and the copy tool in turns, into empty targets or over a full copy of the
// package (every file then goes to the backup first). Both write into the same target folders, set
// up the same way just before, and take turns at going first: what the file system and the
// machine's memory carry over from one run to the next (inodes just freed, memory just given
// back) weighs on both alike.
void CompareWithCopyTool(const std::string& title, const std::vector<TPackageFile>& files,
                         int rounds, std::chrono::seconds pause) {
  int64_t total = 0;
  for (const TPackageFile& file : files) {
    total += file.Size;
  }
  test::TWizardWorld world;
  // The build's own icons, not the world's stand-in.
  platform::TScopedCurrent<platform::IFileIcons> icons(
      platform::TCurrent<platform::IFileIcons>::Default());
  WritePackage(world, files);

  // Into empty targets the update keeps pace with the system's tool (a little more under Wine,
  // whose own tool runs natively); the backups, moves, add almost nothing to that.
  const double allowedRatio = std::string_view(CopyToolName()) == "xcopy" ? 1.10 : 1.05;
  double bestIntoEmpty = 0;
  for (const bool backups : {false, true}) {
    std::cout << title << ": " << files.size() << " files, " << Fixed(double(total) / kMiB, 1)
              << " MiB, " << (backups ? "every file replaced (backups made)" : "into empty targets")
              << '\n';
    // Where the control run moves the installed trees, as the update's backups keep them.
    const std::string asideClient = world.Temp.Path("aside-client");
    const std::string asideDocuments = world.Temp.Path("aside-documents");
    const auto prepare = [&] {
      std::filesystem::remove_all(StdPath(asideClient));
      std::filesystem::remove_all(StdPath(asideDocuments));
      Empty(world.CommonDataFolder);
      Empty(world.MyFolderRoot);
      if (backups) {
        CopyTree(world.ClientTree, world.CommonDataFolder);
        CopyTree(world.DocumentTree, world.MyFolderRoot);
      }
    };
    // The first copy only brings the package into the cache for both.
    prepare();
    RunCopyTool(world, std::chrono::seconds(0));

    std::vector<double> updates;
    std::vector<double> tools;
    std::vector<double> toolsAfterMoves;
    uint64_t peak = 0;
    uint64_t startBytes = 0;
    Clock::duration longestGap{};
    std::string gapAfter;
    Clock::duration beforeFirstPump{};
    int64_t pumps = 0;
    int failures = 0;
    for (int round = 1; round <= rounds; ++round) {
      const auto update = [&] {
        prepare();
        TCopyRun run;
        RunUpdate(world, pause, run);
        updates.push_back(run.Seconds);
        peak = std::max(peak, run.PeakBytes);
        startBytes = std::max(startBytes, run.StartBytes);
        if (run.View.LongestGap > longestGap) {
          longestGap = run.View.LongestGap;
          gapAfter = run.View.GapAfter;
        }
        beforeFirstPump = std::max(beforeFirstPump, run.View.BeforeFirstPump);
        pumps = run.View.Pumps;
        failures += run.View.Failures;
      };
      const auto tool = [&] {
        prepare();
        tools.push_back(RunCopyTool(world, pause));
      };
      // The control: the tool into targets whose installed files were moved aside first (one
      // rename of each tree, untimed), so that the disk holds what the update's backups hold.
      // Their content stays in memory here, where the update lets it go as it backs each up.
      const auto toolAfterMoves = [&] {
        prepare();
        for (const auto& [target, aside] : {std::pair{&world.CommonDataFolder, &asideClient},
                                            std::pair{&world.MyFolderRoot, &asideDocuments}}) {
          std::filesystem::rename(StdPath(target->substr(0, target->size() - 1)), StdPath(*aside));
          platform::ForceDirectories(*target);
        }
        toolsAfterMoves.push_back(RunCopyTool(world, pause));
      };
      if (round % 2 != 0) {
        update();
        tool();
      } else {
        tool();
        update();
      }
      if (backups) {
        toolAfterMoves();
      }
      std::cout << "  round " << round << ": update " << Fixed(updates.back(), 2) << " s, "
                << CopyToolName() << ' ' << Fixed(tools.back(), 2) << " s"
                << (backups ? ", after the moves " + Fixed(toolsAfterMoves.back(), 2) + " s" : "")
                << (round % 2 != 0 ? "" : " (the tool first)") << '\n';
    }
    const double bestUpdate = *std::min_element(updates.begin(), updates.end());
    const double bestTool = *std::min_element(tools.begin(), tools.end());
    std::cout << "  ratio to " << CopyToolName() << ": best of each "
              << Fixed(bestUpdate / bestTool, 2) << ", median of each "
              << Fixed(Median(updates) / Median(tools), 2);
    if (backups) {
      const double bestAfterMoves =
          *std::min_element(toolsAfterMoves.begin(), toolsAfterMoves.end());
      std::cout << "; best to the update into empty targets: "
                << Fixed(bestUpdate / bestIntoEmpty, 2) << " (target at most 1.10)\n"
                << "  ratio to " << CopyToolName()
                << " after the installed files were moved aside: best of each "
                << Fixed(bestUpdate / bestAfterMoves, 2) << ", median of each "
                << Fixed(Median(updates) / Median(toolsAfterMoves), 2) << '\n';
    } else {
      std::cout << " (target at most " << Fixed(allowedRatio, 2) << ")\n";
      bestIntoEmpty = bestUpdate;
    }
    std::cout << "  peak resident memory: " << Fixed(double(peak) / kMiB, 1) << " MiB, "
              << Fixed(double(startBytes) / kMiB, 1)
              << " MiB when the update began (target under 64 MiB)\n"
              << "  longest interval between message pumps: "
              << Fixed(Seconds(longestGap) * 1000, 1) << " ms (target at most 50 ms), after \""
              << gapAfter << "\"; " << pumps << " pumps\n"
              << "  scan before the first pump: " << Fixed(Seconds(beforeFirstPump) * 1000, 1)
              << " ms\n"
              << "  files not updated: " << failures << "\n\n"
              << std::flush;
  }
}

// A large document tree: how long its scan takes with the shell's icons, and what it costs. One
// file in a hundred is a program, whose icon the shell's folders are asked for.
void MeasureScan(int folders, int filesPerFolder) {
  static const char* const extensions[] = {".txt", ".xls", ".doc", ".pdf", ".xml",
                                           ".zip", ".ini", ".bmp", ".lnk"};
  test::TWizardWorld world;
  platform::TScopedCurrent<platform::IFileIcons> icons(
      platform::TCurrent<platform::IFileIcons>::Default());
  int programs = 0;
  for (int folder = 0, count = 0; folder < folders; ++folder) {
    const std::string path = world.DocumentTree + "Раздел " + std::to_string(folder) + "\\";
    platform::ForceDirectories(path);
    for (int file = 0; file < filesPerFolder; ++file, ++count) {
      const bool program = count % 100 == 99;
      programs += program;
      test::WriteFileBytes(
          path + "Документ " + std::to_string(file) + (program ? ".exe" : extensions[count % 9]),
          "");
    }
  }
  HeadlessTree tree;
  platform::IFileIcons& shell = platform::CurrentFileIcons::Get();
  app::TShortcutTree shortcutTree(tree, shell);
  shortcutTree.AttachSystemIcons();
  const app::TPackage package(world.ProgramFolder);
  const std::string before = ResourceCounts();
  ResetPeakMemory();
  const Clock::time_point start = Clock::now();
  const std::vector<app::TPackageEntry> entries = package.Scan();
  shortcutTree.AddDocumentTree(package, entries, [](const std::string&) { return false; });
  const Clock::time_point scanned = Clock::now();
  tree.DrawAll();
  const Clock::time_point drawn = Clock::now();
  std::cout << "scan: " << entries.size() << " entries (" << programs << " programs) in "
            << Fixed(Seconds(scanned - start), 2) << " s, their icons when all are drawn in "
            << Fixed(Seconds(drawn - scanned), 2) << " s; "
            << shell.ImageCount(shortcutTree.ImageListHandle()) - shortcutTree.ImageListCount()
            << " icons added to the list; peak resident memory "
            << Fixed(double(PeakMemoryBytes()) / kMiB, 1) << " MiB\n"
            << "  before: " << before << "\n  after:  " << ResourceCounts() << "\n"
            << std::flush;
}

int Run(const std::vector<std::string>& args) {
  InitializeAsTheWizard();
  bool quick = false;
  int rounds = 4;
  std::chrono::seconds pause(3);
  std::string only;
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--quick") {
      quick = true;
    } else if (args[i] == "--rounds" && i + 1 < args.size()) {
      rounds = std::max(1, std::atoi(args[++i].c_str()));
    } else if (args[i] == "--pause" && i + 1 < args.size()) {
      pause = std::chrono::seconds(std::max(0, std::atoi(args[++i].c_str())));
    } else if (args[i] == "--only" && i + 1 < args.size()) {
      only = args[++i];
    } else {
      std::cerr << "usage: kv_update_bench [--quick] [--rounds N] [--pause SECONDS] "
                   "[--only mixed|big|scan]\n";
      return 2;
    }
  }
  // --quick: a sixteenth of the data and a tenth of the scan, to try the benchmark out.
  const int64_t scale = quick ? 16 : 1;
  if (only.empty() || only == "mixed") {
    CompareWithCopyTool("mixed package", MixedPackage(2000, 1024 * kMiB / scale), rounds, pause);
  }
  if (only.empty() || only == "big") {
    CompareWithCopyTool("one large file",
                        {{app::TPackageTree::Client, "Data\\base.kvd8", 2048 * kMiB / scale}},
                        rounds, pause);
  }
  if (only.empty() || only == "scan") {
    MeasureScan(quick ? 40 : 400, 49);
  }
  return 0;
}

}  // namespace
}  // namespace kv::bench

int main() {
  try {
    return kv::bench::Run(kv::platform::CommandLineArgs());
  } catch (const std::exception& e) {
    std::cerr << "kv_update_bench: " << e.what() << '\n';
    return 1;
  }
}
