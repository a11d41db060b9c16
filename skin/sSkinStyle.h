// The look the skin gives windows that Qt draws itself: hint windows are
// painted from the skin's "HINT" section.
#pragma once

#include <QProxyStyle>

class QWidget;
class TBitmap;
class TsSkinManager;
class TsSkinModel;

// Paints a hint window's face, `bitmap`'s whole size, from the model's
// "HINT" section (its colour, then its border mask). False, leaving the
// bitmap alone, when the skin has no such section.
bool PaintSkinHint(TBitmap& bitmap, const TsSkinModel& model);

// The style of the skinned hint windows. It asks the manager at each paint,
// so a skin dropped or changed later shows at the next paint; without an
// active skin with a "HINT" section it is the style it wraps.
class TsSkinStyle : public QProxyStyle {
 public:
  explicit TsSkinStyle(TsSkinManager* const* manager);
  void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget) const override;

 private:
  const TsSkinModel* ActiveModel() const;
  TsSkinManager* const* manager_;
};

// Makes the program's hint font (Tahoma, 11 pixels) Qt's hint font.
void SetProgramHintFont();

// Gives a hint window (a Qt tool tip) the skin's look: the style above, the
// section's text colour and the program's hint font (Tahoma, 11 pixels).
void SkinHintWindow(QWidget* tip, TsSkinManager* const* manager);
