#include "platform/SystemMetrics.h"

namespace platform {

namespace {
constexpr int kCaption = 19;
constexpr int kSizeFrame = 4;
constexpr int kDialogFrame = 3;
constexpr int kScrollBar = 17;
}  // namespace

int GetSystemMetrics(int metric) {
  switch (metric) {
    case SM_CXVSCROLL:
    case SM_CYHSCROLL:
    case SM_CYVSCROLL:
    case SM_CXHSCROLL:
    case SM_CYVTHUMB:
    case SM_CXHTHUMB:
      return kScrollBar;
    case SM_CYCAPTION:
      return kCaption;
    case SM_CXBORDER:
    case SM_CYBORDER:
      return 1;
    case SM_CXDLGFRAME:
    case SM_CYDLGFRAME:
      return kDialogFrame;
    case SM_CXFRAME:
    case SM_CYFRAME:
      return kSizeFrame;
    case SM_CXICON:
    case SM_CYICON:
      return 32;
    case SM_CXSMICON:
    case SM_CYSMICON:
      return 16;
    case SM_CYMENU:
      return kCaption;
    case SM_CXSIZE:
    case SM_CYSIZE:
      return kCaption - 1;
    case SM_CYSMCAPTION:
      return 15;
    case SM_CXSMSIZE:
    case SM_CYSMSIZE:
      return 14;
    case SM_CXMIN:
      return 112;
    case SM_CYMIN:
      return 27;
    case SM_CXMINTRACK:
      return 112;
    case SM_CYMINTRACK:
      return 27;
    case SM_CXMINIMIZED:
      return 160;
    case SM_CYMINIMIZED:
      return kCaption + 2 * kDialogFrame - 1;
    case SM_CXDOUBLECLK:
    case SM_CYDOUBLECLK:
      return 4;
    case SM_CXDRAG:
    case SM_CYDRAG:
      return 4;
    default:
      return 0;
  }
}

TMetricFont GetMetricFont(TMetricFontKind kind) {
  switch (kind) {
    case TMetricFontKind::Caption:
      return {"Tahoma", -11, true};
    case TMetricFontKind::SmallCaption:
    case TMetricFontKind::Menu:
    case TMetricFontKind::Message:
    case TMetricFontKind::Status:
      return {"Tahoma", -11, false};
  }
  return {"Tahoma", -11, false};
}

}  // namespace platform
