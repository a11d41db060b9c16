// The shell's execute operation: a document or web address handed to the
// desktop's opener (xdg-open), which starts the user's browser or viewer.
// Programs bind it at run time through the module table ("shell32.dll",
// entry "ShellExecuteA"), so tests can put a stand-in there.
#pragma once

#include "platform/Messages.h"

namespace platform {

constexpr int SW_SHOWNORMAL = 1;
// Results of ShellExecuteA at or below 32 are errors.
constexpr HINSTANCE SE_ERR_FNF = 2;       // no file named (or one that reads as an option)
constexpr HINSTANCE SE_ERR_NOASSOC = 31;  // no program opens it (verb unknown, no opener)
constexpr HINSTANCE kShellExecuteOk = 42;

using TShellExecuteA = HINSTANCE (*)(HWND owner, const char* operation, const char* file,
                                     const char* parameters, const char* directory, int show_cmd);

// Opens `file` with the desktop's opener, which runs detached (the call does
// not wait for it). `operation` is "open" in any case, or null for it; other
// verbs are not supported. `parameters` and `show_cmd` are not used;
// `directory`, when given, is the opener's working folder. The file is
// handed over as one argument, never through a shell. Returns a value above
// 32 once the opener has started, else an error code.
HINSTANCE ShellExecuteA(HWND owner, const char* operation, const char* file, const char* parameters,
                        const char* directory, int show_cmd);

}  // namespace platform
