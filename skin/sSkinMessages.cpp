#include "skin/sSkinMessages.h"

#include "toolkit/Controls.h"

std::intptr_t SkinCommand(TControl* control, TsCommand command, std::intptr_t data,
                          std::uint16_t flag) {
  if (control == nullptr) return 0;
  return control->Perform(SM_LUMVEXCMD, MakeSkinCommand(command, flag), data);
}

bool IsSkinnedControl(TControl* control) {
  return SkinCommand(control, TsCommand::QuerySkinned) == 1;
}
