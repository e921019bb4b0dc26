#include "net/SafeFileName.h"

#include <gtest/gtest.h>

namespace kv {
namespace {

TEST(SafeFileNameTest, NamesFromOutsideBecomeOneFileInTheFolder) {
  const struct {
    const char* name;
    const char* safe;
  } cases[] = {
      {"report.txt", "report.txt"},
      {"Отчёт за год.xml", "Отчёт за год.xml"},
      {"..\\..\\Windows\\win.ini", "win.ini"},
      {"/etc/passwd", "passwd"},
      {"C:evil.txt", "C_evil.txt"},
      {"a\"b|c?d*e<f>g.txt", "a_b_c_d_e_f_g.txt"},
      {"tab\there\x01.txt", "tab_here_.txt"},
      {"trailing. . .", "trailing"},
      {"  spaced.txt", "spaced.txt"},
      {"con", "_con"},
      {"NUL.txt", "_NUL.txt"},
      {"Lpt9.log", "_Lpt9.log"},
      {"COM0.txt", "COM0.txt"},
      {"console.txt", "console.txt"},
      {".", "fallback.dat"},
      {"..", "fallback.dat"},
      {"dir/", "fallback.dat"},
      {"", "fallback.dat"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(SafeFileName(c.name, "fallback.dat"), c.safe) << c.name;
  }
}

TEST(SafeFileNameTest, UnusableFallbackGivesAFixedName) {
  EXPECT_EQ(SafeFileName("..", "../"), "download");
  EXPECT_EQ(SafeFileName("", "sub\\aux"), "_aux");
}

}  // namespace
}  // namespace kv
