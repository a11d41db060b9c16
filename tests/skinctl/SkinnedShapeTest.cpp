// What each skinned control does with the messages it shares with the
// others: which paints the skin answers, what the control asks its parent
// while it paints and in which order, and after which messages its look is
// stale. The five controls differ here on purpose; a change to their common
// message handling must keep each one's answers.
#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>

#include <string>
#include <vector>

#include "SkinCtlTestUtil.h"
#include "skin/sComboBox.h"
#include "skin/sEdit.h"
#include "skin/sMemo.h"
#include "skin/sWindowHandler.h"

using namespace skinctltest;

namespace {

// Records the skin commands a control is sent, in order.
class TCommandRecorder : public TsWindowHandler {
 public:
  using TsWindowHandler::TsWindowHandler;
  std::string Seen;

 protected:
  void WndProc(TMessage& m) override {
    if (m.Msg == SM_LUMVEXCMD) {
      if (!Seen.empty()) Seen += ' ';
      Seen += std::to_string(static_cast<int>(SkinCommandOf(m.WParam)));
    }
    CallPrevious(m);
  }
};

constexpr TColor kUntouched = 0x00FF00;

struct TShaped {
  const char* name;
  TWinControl* control;
  TsCommonData* data;
};

class SkinnedShape : public SkinFixture {
 protected:
  void SetUp() override {
    SkinFixture::SetUp();
    parent = AddPanel(form, form, "PANEL", Bounds(0, 0, 320, 240));
    AddPanel(form, parent, "PANEL", Bounds(200, 90, 100, 60));
    auto* edit = new TsEdit(form);
    edit->SetParent(parent);
    edit->SetBounds(86, 6, 205, 21);
    edit->SkinData()->SetSkinSection("EDIT");
    auto* memo = new TsMemo(form);
    memo->SetParent(parent);
    memo->SetBounds(1, 80, 180, 60);
    memo->SkinData()->SetSkinSection("EDIT");
    auto* combo = new TsComboBox(form);
    combo->SetParent(parent);
    combo->SetBounds(7, 44, 82, 21);
    combo->SkinData()->SetSkinSection("COMBOBOX");
    AddButton(form, parent, 7, "Ping !");
    form->Show();
    manager->RepaintForms();
    Pump(30);
    auto* panel = static_cast<TsPanel*>(parent->Controls(0));
    auto* button = static_cast<TsBitBtn*>(parent->Controls(4));
    controls = {{"panel", panel, panel->SkinData()},
                {"edit", edit, edit->SkinData()},
                {"memo", memo, memo->SkinData()},
                {"combo", combo, combo->SkinData()},
                {"button", button, button->SkinData()}};
    for (const TShaped& c : controls) ASSERT_TRUE(c.data->Skinned()) << c.name;
  }

  // Sends `msg` with a device over a bitmap of the control's size; what
  // the parent is asked meanwhile, and "+" when anything was drawn.
  std::string Handle(TWinControl* c, std::uint32_t msg) {
    TCommandRecorder recorder(parent);
    QImage image(c->Width(), c->Height(), QImage::Format_RGB32);
    image.fill(ToQColor(kUntouched));
    {
      QPainter painter(&image);
      c->Perform(msg, DCParam(&painter), 0);
    }
    for (int y = 0; y < image.height(); ++y) {
      for (int x = 0; x < image.width(); ++x) {
        if (PixelOf(image, x, y) != kUntouched) return recorder.Seen + "+";
      }
    }
    return recorder.Seen;
  }

  TsPanel* parent = nullptr;
  std::vector<TShaped> controls;
};

}  // namespace

// The parent is asked whether its cache is current (10) and, when the
// control rebuilds its own, what lies behind it (34); "+": drawn. The
// editors draw through Qt, not on the device given.
TEST_F(SkinnedShape, EachControlPaintsItsOwnPartsFromTheCache) {
  struct TExpect {
    const char* erase;
    const char* paint;
    const char* ncpaint;
    const char* ncpaint_again;  // with the cache current
  };
  const std::vector<TExpect> expected = {
      {"", "10 34+", "10 34", "10"},    // panel: client and frame (of no width here)
      {"+", "", "10 34+", "10+"},       // edit: the frame; the editor the rest
      {"+", "10", "10 34+", "10+"},     // memo: the frame by its handler
      {"", "10 34+", "10 34+", "10+"},  // combo box: client and frame
      {"", "10 34+", "", ""},           // button: the client
  };
  for (std::size_t i = 0; i < controls.size(); ++i) {
    const TShaped& c = controls[i];
    c.data->MarkBackDirty();
    EXPECT_EQ(Handle(c.control, WM_ERASEBKGND), expected[i].erase) << c.name;
    c.data->MarkBackDirty();
    EXPECT_EQ(Handle(c.control, WM_PAINT), expected[i].paint) << c.name;
    c.data->MarkBackDirty();
    EXPECT_EQ(Handle(c.control, WM_NCPAINT), expected[i].ncpaint) << c.name;
    EXPECT_EQ(Handle(c.control, WM_NCPAINT), expected[i].ncpaint_again) << c.name;
  }
}

// While the parent's cache is stale nothing paints from the skin, and of
// the editors only the memo asks before its editor may paint.
TEST_F(SkinnedShape, PaintsWaitWhileTheParentsCacheIsStale) {
  parent->SkinData()->MarkBackDirty();
  const std::vector<const char*> expected = {"10", "", "10", "10", "10"};
  for (std::size_t i = 0; i < controls.size(); ++i)
    EXPECT_EQ(Handle(controls[i].control, WM_PAINT), expected[i]) << controls[i].name;
}

TEST_F(SkinnedShape, LookGoesStaleAfterTheMessagesEachControlNames) {
  const std::vector<std::uint32_t> messages = {CM_TEXTCHANGED, CM_FONTCHANGED, CM_COLORCHANGED};
  // One letter a message: text, font, colour.
  const std::vector<const char*> expected = {"---", "tfc", "-fc", "-fc", "tf-"};
  for (std::size_t i = 0; i < controls.size(); ++i) {
    std::string stale;
    for (std::size_t k = 0; k < messages.size(); ++k) {
      controls[i].data->EnsureCache();
      ASSERT_FALSE(controls[i].data->BGChanged()) << controls[i].name;
      controls[i].control->Perform(messages[k]);
      stale += controls[i].data->BGChanged() ? "tfc"[k] : '-';
    }
    EXPECT_EQ(stale, expected[i]) << controls[i].name;
  }
}
