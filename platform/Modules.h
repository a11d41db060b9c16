// Run-time modules: code that binds a library by name at run time goes
// through this table of built-in modules, so its failure paths (a missing
// module, a missing entry point) stay real and can be staged.
#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "platform/LastError.h"

namespace platform {

using HMODULE = std::uintptr_t;
using FARPROC = void*;

constexpr DWORD ERROR_MOD_NOT_FOUND = 126;
constexpr DWORD ERROR_PROC_NOT_FOUND = 127;

// Loads a module by name (case-insensitive). Returns 0 with
// ERROR_MOD_NOT_FOUND when there is none. Each load must be paired with a
// FreeLibrary.
HMODULE LoadLibrary(const char* name);
// Address of an entry point of a loaded module, or null with
// ERROR_PROC_NOT_FOUND.
FARPROC GetProcAddress(HMODULE module, const char* proc_name);
BOOL FreeLibrary(HMODULE module);

// Entry points of a module, by exact name.
using TModuleExports = std::map<std::string, FARPROC>;

// Puts a module into the table under `name`, replacing a built-in one of
// that name until it is withdrawn. An empty export list is a module without
// entry points.
void InstallModule(const std::string& name, TModuleExports exports);
// Makes a module disappear (LoadLibrary fails for it) until it is installed
// again or the table is restored.
void WithdrawModule(const std::string& name);
// Restores the built-in table.
void RestoreModules();
// Number of loads not yet freed, over all modules.
int LoadedModuleCount();

// Restores the built-in module table when it goes out of scope.
class TModuleTableGuard {
 public:
  TModuleTableGuard() = default;
  TModuleTableGuard(const TModuleTableGuard&) = delete;
  TModuleTableGuard& operator=(const TModuleTableGuard&) = delete;
  ~TModuleTableGuard() { RestoreModules(); }
};

}  // namespace platform
