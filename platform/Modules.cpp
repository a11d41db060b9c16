#include "platform/Modules.h"

#include <algorithm>
#include <cctype>
#include <mutex>
#include <optional>

#include "platform/Icmp.h"
#include "platform/Shell.h"

namespace platform {

namespace {

std::string Key(std::string name) {
  std::transform(name.begin(), name.end(), name.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return name;
}

std::map<std::string, TModuleExports> BuiltIns() {
  return {
      {"icmp.dll",
       {{"IcmpCreateFile", reinterpret_cast<FARPROC>(&IcmpCreateFile)},
        {"IcmpCloseHandle", reinterpret_cast<FARPROC>(&IcmpCloseHandle)},
        {"IcmpSendEcho", reinterpret_cast<FARPROC>(&IcmpSendEcho)},
        {"IcmpSendEcho6", reinterpret_cast<FARPROC>(&IcmpSendEcho6)}}},
      {"shell32.dll", {{"ShellExecuteA", reinterpret_cast<FARPROC>(&ShellExecuteA)}}},
  };
}

struct TLoaded {
  std::string key;
  TModuleExports exports;  // as they were when loaded
  int refs = 0;
};

std::mutex g_mutex;
std::optional<std::map<std::string, TModuleExports>> g_table;
std::map<HMODULE, TLoaded> g_loaded;
HMODULE g_next_handle = 0x10000000;

std::map<std::string, TModuleExports>& Table() {
  if (!g_table) g_table = BuiltIns();
  return *g_table;
}

}  // namespace

HMODULE LoadLibrary(const char* name) {
  std::lock_guard lock(g_mutex);
  const std::string key = Key(name ? name : "");
  auto it = Table().find(key);
  if (it == Table().end()) {
    SetLastError(ERROR_MOD_NOT_FOUND);
    return 0;
  }
  for (auto& [handle, loaded] : g_loaded) {
    if (loaded.key == key && loaded.exports == it->second) {
      ++loaded.refs;
      return handle;
    }
  }
  const HMODULE handle = g_next_handle;
  g_next_handle += 0x10000;
  g_loaded[handle] = TLoaded{key, it->second, 1};
  return handle;
}

FARPROC GetProcAddress(HMODULE module, const char* proc_name) {
  std::lock_guard lock(g_mutex);
  auto it = g_loaded.find(module);
  if (it == g_loaded.end()) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  auto entry = it->second.exports.find(proc_name ? proc_name : "");
  if (entry == it->second.exports.end() || entry->second == nullptr) {
    SetLastError(ERROR_PROC_NOT_FOUND);
    return nullptr;
  }
  return entry->second;
}

BOOL FreeLibrary(HMODULE module) {
  std::lock_guard lock(g_mutex);
  auto it = g_loaded.find(module);
  if (it == g_loaded.end()) {
    SetLastError(ERROR_INVALID_HANDLE);
    return 0;
  }
  if (--it->second.refs == 0) g_loaded.erase(it);
  return 1;
}

void InstallModule(const std::string& name, TModuleExports exports) {
  std::lock_guard lock(g_mutex);
  Table()[Key(name)] = std::move(exports);
}

void WithdrawModule(const std::string& name) {
  std::lock_guard lock(g_mutex);
  Table().erase(Key(name));
}

void RestoreModules() {
  std::lock_guard lock(g_mutex);
  g_table = BuiltIns();
}

int LoadedModuleCount() {
  std::lock_guard lock(g_mutex);
  int n = 0;
  for (auto& [handle, loaded] : g_loaded) n += loaded.refs;
  return n;
}

}  // namespace platform
