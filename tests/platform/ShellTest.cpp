// The shell's open operation: handed to the desktop's opener as one
// argument, detached; refused for other verbs, for nothing to open and for
// names that would read as the opener's options; bound through the module
// table.
#include "platform/Shell.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>

#include "platform/Modules.h"

using namespace platform;

namespace {

// A folder with a stand-in "xdg-open" that writes its arguments down, put
// first on the PATH for the test's length.
class FakeOpener {
 public:
  FakeOpener() {
    char tmpl[] = "/tmp/sonarix-shell-XXXXXX";
    dir_ = ::mkdtemp(tmpl);
    const std::filesystem::path script = dir_ / "xdg-open";
    std::ofstream(script) << "#!/bin/sh\nprintf '%s|' \"$#\" \"$@\" > \"" << Out().string()
                          << ".part\"\nmv \"" << Out().string() << ".part\" \"" << Out().string()
                          << "\"\n";
    ::chmod(script.c_str(), 0755);
    old_path_ = std::getenv("PATH") != nullptr ? std::getenv("PATH") : "";
    ::setenv("PATH", (dir_.string() + ":" + old_path_).c_str(), 1);
  }
  ~FakeOpener() {
    ::setenv("PATH", old_path_.c_str(), 1);
    std::filesystem::remove_all(dir_);
  }
  std::filesystem::path Out() const { return dir_ / "args"; }
  // What the opener was given, once it has run (empty if it never did).
  std::string Args(int wait_ms = 5000) const {
    for (int waited = 0; waited < wait_ms && !std::filesystem::exists(Out()); waited += 10)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    std::ifstream in(Out());
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  void RemoveOpener() { std::filesystem::remove(dir_ / "xdg-open"); }

 private:
  std::filesystem::path dir_;
  std::string old_path_;
};

TEST(ShellTest, OpensTheAddressWithTheDesktopsOpener) {
  FakeOpener opener;
  const char* address = "https://www.example.org/a b;$(rm -rf x)";
  EXPECT_GT(ShellExecuteA(0, "Open", address, nullptr, nullptr, SW_SHOWNORMAL), 32);
  // One argument, exactly as given: no shell between.
  EXPECT_EQ(opener.Args(), std::string("1|") + address + "|");
}

TEST(ShellTest, RefusesWhatItCannotOpen) {
  FakeOpener opener;
  EXPECT_EQ(ShellExecuteA(0, "print", "https://example.org", nullptr, nullptr, 1), SE_ERR_NOASSOC);
  EXPECT_EQ(ShellExecuteA(0, "open", "", nullptr, nullptr, 1), SE_ERR_FNF);
  EXPECT_EQ(ShellExecuteA(0, "open", nullptr, nullptr, nullptr, 1), SE_ERR_FNF);
  EXPECT_EQ(ShellExecuteA(0, nullptr, "--manual", nullptr, nullptr, 1), SE_ERR_FNF);
  EXPECT_EQ(opener.Args(300), "");
  // No opener on the system.
  opener.RemoveOpener();
  ::setenv("PATH", opener.Out().parent_path().c_str(), 1);
  EXPECT_LE(ShellExecuteA(0, "OPEN", "https://example.org", nullptr, nullptr, 1), 32);
}

TEST(ShellTest, BoundThroughTheModuleTable) {
  TModuleTableGuard restore;
  const HMODULE shell = LoadLibrary("SHELL32.DLL");
  ASSERT_NE(shell, 0u);
  EXPECT_EQ(GetProcAddress(shell, "ShellExecuteA"), reinterpret_cast<FARPROC>(&ShellExecuteA));
  EXPECT_TRUE(FreeLibrary(shell));
}

}  // namespace
