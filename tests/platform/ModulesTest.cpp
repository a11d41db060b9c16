// The run-time module table: built-in modules, loads counted, and modules
// and entry points that can be made to disappear.
#include "platform/Modules.h"

#include <gtest/gtest.h>

#include "platform/Icmp.h"

using namespace platform;

namespace {

int Answer() {
  return 42;
}

TEST(ModulesTest, IcmpDllIsBuiltIn) {
  TModuleTableGuard restore;
  const HMODULE m = LoadLibrary("ICMP.DLL");
  ASSERT_NE(m, 0u);
  EXPECT_EQ(GetProcAddress(m, "IcmpSendEcho"), reinterpret_cast<FARPROC>(&IcmpSendEcho));
  EXPECT_EQ(GetProcAddress(m, "IcmpCreateFile"), reinterpret_cast<FARPROC>(&IcmpCreateFile));
  EXPECT_EQ(GetProcAddress(m, "icmpsendecho"), nullptr) << "entry names are exact";
  EXPECT_EQ(GetLastError(), ERROR_PROC_NOT_FOUND);
  EXPECT_EQ(LoadLibrary("icmp.dll"), m) << "a second load shares the module";
  EXPECT_TRUE(FreeLibrary(m));
  EXPECT_TRUE(FreeLibrary(m));
  EXPECT_FALSE(FreeLibrary(m));
  EXPECT_EQ(GetProcAddress(m, "IcmpSendEcho"), nullptr);
}

TEST(ModulesTest, MissingModulesAndEntries) {
  TModuleTableGuard restore;
  EXPECT_EQ(LoadLibrary("nosuch.dll"), 0u);
  EXPECT_EQ(GetLastError(), ERROR_MOD_NOT_FOUND);
  WithdrawModule("icmp.dll");
  EXPECT_EQ(LoadLibrary("icmp.dll"), 0u);
  InstallModule("Extra.dll", {{"Answer", reinterpret_cast<FARPROC>(&Answer)}});
  const HMODULE m = LoadLibrary("extra.dll");
  ASSERT_NE(m, 0u);
  EXPECT_EQ(reinterpret_cast<int (*)()>(GetProcAddress(m, "Answer"))(), 42);
  EXPECT_EQ(GetProcAddress(m, "IcmpSendEcho"), nullptr);
  FreeLibrary(m);
  RestoreModules();
  EXPECT_EQ(LoadLibrary("extra.dll"), 0u);
  const HMODULE icmp = LoadLibrary("icmp.dll");
  EXPECT_NE(icmp, 0u);
  FreeLibrary(icmp);
}

}  // namespace
