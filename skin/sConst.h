// The skin command message and its command numbers, shared by the manager,
// the forms' providers and every skinned control. Who sends each command and
// what it changes: the table at the top of sCommonCommands.cpp; sending and
// reading them: sSkinMessages.h.
#pragma once

#include <cstdint>

// One private window message carries all skin traffic. The command number is
// in the high 16 bits of the first parameter; the low 16 bits carry a flag for
// the few commands that take one (MarkUpdating, 12 and ParentBackDirty).
constexpr unsigned SM_LUMVEXCMD = 0xA100;

enum class TsCommand : std::uint16_t {
  None = 0,
  ApplySkin = 1,           // a new skin is loaded (second parameter: the manager)
  DropSkin = 2,            // the skin is gone (the manager)
  RepaintSkin = 3,         // repaint from the current skin (the manager)
  QueryProvider = 4,       // a form answers its skin provider, or 0
  QuerySkinned = 7,        // a skinned control or form answers 1
  MarkUpdating = 8,        // updating becomes (flag == 1)
  QueryBackDirty = 10,     // 1 when the background changed or updating is set
  QueryHalfVisible = 11,   // the half-visible flag
  TransparentDirty = 12,   // flag 1 and a see-through section: background changed
  SectionChanged = 13,     // invalidate when the section named by the data (a
                           // const std::string*) is ours
  HaltFade = 16,           // stop every running fade (the manager)
  MarkBackDirty = 17,      // mark the background changed
  ParentBackDirty = 20,    // the parent's look changed (flag 1: also invalidate)
  QueryFillColor = 21,     // the colour a child should assume behind it
  SetHalfVisible = 22,     // set the half-visible flag
  QuerySectionIndex = 26,  // the section index + 1
  PointerIn = 31,
  PointerOut = 32,
  QueryBackInfo = 34,   // fill the BackgroundInfo passed by address as data
  CacheFlags = 36,      // flag 1: recompute the cache decision down the tree
  QueryAppWindow = 60,  // the application object
};

// First message parameter of a skin command.
constexpr std::uintptr_t MakeSkinCommand(TsCommand command, std::uint16_t flag = 0) {
  return static_cast<std::uintptr_t>((static_cast<std::uint32_t>(command) << 16) | flag);
}
constexpr TsCommand SkinCommandOf(std::uintptr_t wparam) {
  return static_cast<TsCommand>((static_cast<std::uint32_t>(wparam) >> 16) & 0xFFFF);
}
constexpr std::uint16_t SkinCommandFlag(std::uintptr_t wparam) {
  return static_cast<std::uint16_t>(static_cast<std::uint32_t>(wparam) & 0xFFFF);
}
