// Typed skin messages: sending a skin command and reading what it carries
// or answers, so that pointers cross the message's untyped parameters here
// and nowhere else. The command numbers are in sConst.h; who sends each
// command and what it changes is listed at the top of sCommonCommands.cpp.
#pragma once

#include <cstdint>
#include <string>

#include "skin/sConst.h"
#include "toolkit/Messages.h"

class TControl;
class TsSkinManager;
struct BackgroundInfo;

// ---- sending

// Sends `command` to `control` (data in the second parameter, `flag` in
// the low word of the first) and returns the answer; 0 without a control.
std::intptr_t SkinCommand(TControl* control, TsCommand command, std::intptr_t data = 0,
                          std::uint16_t flag = 0);
// The second parameter of the commands that name a manager (ApplySkin,
// DropSkin, RepaintSkin, HaltFade); none reaches every control.
inline std::intptr_t ManagerParam(const TsSkinManager* manager) {
  return reinterpret_cast<std::intptr_t>(manager);
}
// Sends one of the commands that name a manager.
inline std::intptr_t SendManagerCommand(TControl* control, TsCommand command,
                                        const TsSkinManager* manager) {
  return SkinCommand(control, command, ManagerParam(manager));
}
// Asks `control` to fill `info` with what lies behind its children
// (QueryBackInfo); the record is left as it is when nothing answers.
inline void SendQueryBackInfo(TControl* control, BackgroundInfo& info) {
  SkinCommand(control, TsCommand::QueryBackInfo, reinterpret_cast<std::intptr_t>(&info));
}
// Whether `control` answers QuerySkinned with 1.
bool IsSkinnedControl(TControl* control);

// ---- receiving

// The manager a command names; none means every manager.
inline TsSkinManager* CommandManager(const TMessage& m) {
  return reinterpret_cast<TsSkinManager*>(m.LParam);
}
// The record a QueryBackInfo asks to fill; none when the sender gave none.
inline BackgroundInfo* CommandBackInfo(const TMessage& m) {
  return reinterpret_cast<BackgroundInfo*>(m.LParam);
}
// The section name a SectionChanged carries; none when the sender gave none.
inline const std::string* CommandSectionName(const TMessage& m) {
  return reinterpret_cast<const std::string*>(m.LParam);
}
// Answers with an object (QueryProvider, QueryAppWindow).
inline void AnswerObject(TMessage& m, const void* object) {
  m.Result = reinterpret_cast<std::intptr_t>(object);
}
