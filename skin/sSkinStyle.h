// The look the skin gives windows that Qt draws itself: hint windows are
// painted from the skin's "HINT" section, and the push buttons, edits and
// scroll bars of adopted windows from "BUTTON", "EDIT" and the scroll bar
// sections, as the program's own controls are.
#pragma once

#include <QProxyStyle>

#include "toolkit/Types.h"

class QWidget;
class TBitmap;
class TsSkinManager;
class TsSkinModel;

// Paints a hint window's face, `bitmap`'s whole size, from the model's
// "HINT" section (its colour, then its border mask). False, leaving the
// bitmap alone, when the skin has no such section.
bool PaintSkinHint(TBitmap& bitmap, const TsSkinModel& model);

// Paints the face of a control of the section `name`, `bitmap`'s whole size,
// for `state` (0 normal, 1 hot, 2 pressed) as the item painter composes it
// over the plain colour `back`, centre filled when `filling`; a disabled
// control then takes the disabled look. False, leaving the bitmap alone,
// when the skin has no such section.
bool PaintSkinSection(TBitmap& bitmap, const TsSkinModel& model, const char* name, int state,
                      bool filling, bool enabled, TColor back);

// The style of the skinned hint windows and of adopted windows' controls. It asks the manager at
// each paint, so a skin dropped or changed later shows at the next paint; without an active skin
// with a "HINT" section it is the style it wraps.
class TsSkinStyle : public QProxyStyle {
 public:
  explicit TsSkinStyle(TsSkinManager* const* manager);
  void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget) const override;
  void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                   const QWidget* widget) const override;
  void drawComplexControl(ComplexControl control, const QStyleOptionComplex* option,
                          QPainter* painter, const QWidget* widget) const override;
  QRect subControlRect(ComplexControl control, const QStyleOptionComplex* option, SubControl sub,
                       const QWidget* widget) const override;
  SubControl hitTestComplexControl(ComplexControl control, const QStyleOptionComplex* option,
                                   const QPoint& pos, const QWidget* widget) const override;

 private:
  const TsSkinModel* ActiveModel() const;
  TsSkinManager* const* manager_;
};

// The one style shared by hint windows and adopted windows' controls. The
// first caller's `manager` (the window hook's, which outlives every window)
// is the one it keeps asking.
TsSkinStyle* SharedSkinStyle(TsSkinManager* const* manager);

// Gives the push buttons, edits, item views and scroll bars inside an
// adopted window the skin's style, now and as the window gains new ones;
// a toolkit form's push buttons are drawn from the skin's "BUTTON".
void SkinAdoptedControls(QWidget* window, TsSkinManager* const* manager);

class TBitBtn;
// The state an adopted form's push button is drawn in: 2 pushed, 1 default,
// focused or under the pointer, else 0.
int AdoptedButtonState(const TBitBtn& button);

// Makes the program's hint font (Tahoma, 11 pixels) Qt's hint font.
void SetProgramHintFont();

// Gives a hint window (a Qt tool tip) the skin's look: the style above, the
// section's text colour and the program's hint font (Tahoma, 11 pixels).
void SkinHintWindow(QWidget* tip, TsSkinManager* const* manager);
