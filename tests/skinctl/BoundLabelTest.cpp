// Bound labels: activation and naming, the placing rule for every layout,
// indent and maximum width, following the control, settings kept while
// inactive, and a label freed by other means.
#include <gtest/gtest.h>

#include "SkinCtlTestUtil.h"
#include "skin/sBoundLabel.h"
#include "skin/sComboBox.h"
#include "skin/sEdit.h"
#include "skin/sMemo.h"
#include "skin/sPanel.h"

using namespace skinctltest;

namespace {

class BoundLabel : public SkinFixture {
 protected:
  void SetUp() override {
    SkinFixture::SetUp();
    panel = new TsPanel(form);
    panel->SetParent(form);
    panel->SetBounds(0, 0, 320, 200);
    panel->SkinData()->SetSkinSection("PANEL");
    form->Show();
    Pump(20);
  }
  TsEdit* Edit(const char* name, int left, int top, int width, int height) {
    auto* e = new TsEdit(form);
    e->SetName(name);
    e->SetParent(panel);
    e->SetBounds(left, top, width, height);
    return e;
  }
  TsPanel* panel = nullptr;
};

}  // namespace

TEST_F(BoundLabel, ActivationMakesANamedLabelNextToTheControl) {
  TsEdit* e = Edit("sEdit1", 86, 6, 205, 21);
  TsBoundLabel* b = e->BoundLabel();
  EXPECT_FALSE(b->Active());
  EXPECT_EQ(b->Label(), nullptr);
  EXPECT_TRUE(b->UseSkinColor()) << "no label: reads as on";
  b->SetUseSkinColor(false);
  b->SetActive(true);
  TsEditLabel* l = b->Label();
  ASSERT_NE(l, nullptr);
  EXPECT_EQ(l->Name(), "sEdit1Label");
  EXPECT_EQ(l->Owner(), e);
  EXPECT_EQ(l->Parent(), panel);
  EXPECT_EQ(l->FocusControl(), e);
  EXPECT_EQ(l->BoundLabel(), b);
  EXPECT_TRUE(l->Visible());
  EXPECT_TRUE(l->Transparent());
  // An empty caption became the control's name; setting it while inactive
  // had no effect, so the label has it on.
  EXPECT_EQ(b->Caption(), "sEdit1");
  EXPECT_EQ(l->Caption(), "sEdit1");
  EXPECT_TRUE(b->UseSkinColor());
  EXPECT_EQ(l->Alignment(), taRightJustify);
  // The caption in the host box's place: 13 high, top 6 + (21 - 13) / 2 - 1,
  // right edge 4 pixels left of the box.
  b->SetCaption("Target Address:");
  EXPECT_EQ(l->Caption(), "Target Address:");
  EXPECT_EQ(l->Height(), 13);
  EXPECT_EQ(l->Top(), 9);
  EXPECT_EQ(l->Left() + l->Width(), 82);
  // The label paints in the skin-wide text colour over the panel.
  l->Repaint();
  Pump(20);
  EXPECT_EQ(l->Font().Color(), 0x00B1B1B1);
}

TEST_F(BoundLabel, PlacesByLayoutIndentAndTruncatingHalves) {
  TsEdit* e = Edit("box", 7, 44, 76, 21);
  TsBoundLabel* b = e->BoundLabel();
  b->SetActive(true);
  b->SetCaption("Size:");
  b->SetLayout(sclTopLeft);
  TsEditLabel* l = b->Label();
  EXPECT_EQ(l->Alignment(), taLeftJustify);
  EXPECT_EQ(l->Top(), 31);
  EXPECT_EQ(l->Left(), 7);
  b->SetIndent(3);
  EXPECT_EQ(l->Top(), 28);
  EXPECT_EQ(l->Left(), 7);
  b->SetLayout(sclTopCenter);
  EXPECT_EQ(l->Alignment(), taCenter);
  EXPECT_EQ(l->Left(), 7 + (76 - l->Width()) / 2);
  b->SetLayout(sclTopRight);
  EXPECT_EQ(l->Alignment(), taRightJustify);
  EXPECT_EQ(l->Left() + l->Width(), 83);
  EXPECT_EQ(l->Top(), 28);
  // Left of the control: indent widens the gap; odd differences truncate.
  b->SetLayout(sclLeft);
  EXPECT_EQ(l->Left() + l->Width(), 7 - 4 - 3);
  e->SetHeight(22);  // 22 - 13 = 9: 4 below the top, then one up
  EXPECT_EQ(l->Top(), 44 + 4 - 1);
  e->SetHeight(4);  // 4 - 13 = -9: -4 toward zero, not -5
  EXPECT_EQ(l->Top(), 44 - 4 - 1);
}

TEST_F(BoundLabel, MaxWidthFixesTheWidthAndWrapsOnlyWhileSet) {
  TsEdit* e = Edit("box", 200, 60, 100, 21);
  TsBoundLabel* b = e->BoundLabel();
  b->SetActive(true);
  b->SetCaption("Time Out Value:");
  TsEditLabel* l = b->Label();
  const int text_width = l->Width();
  b->SetMaxWidth(40);
  // The left edge stays where the text's width put it.
  EXPECT_EQ(l->Left(), 200 - text_width - 4);
  EXPECT_EQ(l->Width(), 40);
  EXPECT_TRUE(l->WordWrap());
  EXPECT_FALSE(l->AutoSize());
  EXPECT_EQ(l->Height(), 21) << "as high as the control";
  // Placing again gives the same place: measured from the text, not from
  // the wrapped label.
  e->SetTop(61);
  EXPECT_EQ(l->Left(), 200 - text_width - 4);
  EXPECT_EQ(l->Width(), 40);
  // Back to no limit: the text's own width on one line.
  b->SetMaxWidth(0);
  EXPECT_EQ(l->Width(), text_width);
  EXPECT_EQ(l->Height(), 13);
  EXPECT_FALSE(l->WordWrap());
}

TEST_F(BoundLabel, FollowsTheControl) {
  TsEdit* e = Edit("box", 100, 40, 80, 21);
  TsBoundLabel* b = e->BoundLabel();
  b->SetActive(true);
  b->SetCaption("Count:");
  TsEditLabel* l = b->Label();
  e->SetBounds(150, 80, 80, 25);
  EXPECT_EQ(l->Left() + l->Width(), 146);
  EXPECT_EQ(l->Top(), 80 + 6 - 1);
  // Hidden with the control, not placed while hidden, placed when shown.
  e->Hide();
  EXPECT_FALSE(l->Visible());
  e->SetLeft(200);
  EXPECT_EQ(l->Left() + l->Width(), 146);
  e->Show();
  EXPECT_TRUE(l->Visible());
  EXPECT_EQ(l->Left() + l->Width(), 196);
  // Greyed with it.
  e->SetEnabled(false);
  EXPECT_FALSE(l->Enabled());
  e->SetEnabled(true);
  EXPECT_TRUE(l->Enabled());
  // Its reading order, with the alignment mirrored.
  e->SetBiDiMode(bdRightToLeft);
  EXPECT_EQ(l->BiDiMode(), bdRightToLeft);
  EXPECT_TRUE(l->UseRightToLeftAlignment());
  EXPECT_EQ(l->Left() + l->Width(), 196);
  // A new font is the label's own from then on, and places it again.
  TFont big;
  big.SetHeight(-20);
  b->SetFont(big);
  EXPECT_FALSE(l->ParentFont());
  EXPECT_EQ(l->Font().Height(), -20);
  EXPECT_GT(l->Height(), 13);
  EXPECT_EQ(l->Top(), 80 + (25 - l->Height()) / 2 - 1);
  EXPECT_EQ(&b->Font(), &l->Font());
}

TEST_F(BoundLabel, SettingsWhileInactiveAndALabelFreedElsewhere) {
  TsEdit* e = Edit("box", 100, 40, 80, 21);
  TsBoundLabel* b = e->BoundLabel();
  TFont kept;
  kept.SetHeight(-30);
  b->SetFont(kept);
  b->SetCaption("Kept:");
  b->SetLayout(sclTopRight);
  EXPECT_EQ(b->Font().Height(), -30);
  b->SetActive(true);
  TsEditLabel* l = b->Label();
  // The new label takes its parent's font, not the kept one.
  EXPECT_TRUE(l->ParentFont());
  EXPECT_EQ(l->Font().Height(), panel->Font().Height());
  EXPECT_EQ(l->Caption(), "Kept:");
  EXPECT_EQ(l->Alignment(), taRightJustify);
  // Freed by other means: the bound label lets go of it.
  delete l;
  EXPECT_FALSE(b->Active());
  EXPECT_EQ(b->Label(), nullptr);
  e->SetLeft(10);  // nothing to place
  b->SetActive(true);
  ASSERT_NE(b->Label(), nullptr);
  EXPECT_EQ(b->Label()->Caption(), "Kept:");
  // Deactivating frees it.
  b->SetActive(false);
  EXPECT_EQ(b->Label(), nullptr);
  EXPECT_EQ(e->ComponentCount(), 0);
  // Destroying the control frees an active label first.
  b->SetActive(true);
  delete e;
  for (int i = 0; i < panel->ControlCount(); ++i)
    EXPECT_EQ(dynamic_cast<TsEditLabel*>(panel->Controls(i)), nullptr);
}

TEST_F(BoundLabel, ActivatedWhileTheWindowIsReadItIsPlacedOnceLoaded) {
  auto* owner = new TForm(Application);
  owner->SetBounds(10, 10, 300, 100);
  owner->BeginLoading();
  auto* e = new TsComboBox(owner);
  e->SetName("sComboBox1");
  e->SetParent(owner);
  e->SetBounds(7, 44, 76, 21);
  e->BoundLabel()->SetActive(true);
  e->BoundLabel()->SetCaption("Size:");
  e->BoundLabel()->SetLayout(sclTopLeft);
  owner->EndLoading();
  TsEditLabel* l = e->BoundLabel()->Label();
  EXPECT_EQ(l->Height(), 13);
  EXPECT_EQ(l->Top(), 31);
  EXPECT_EQ(l->Left(), 7);
  delete owner;
}

TEST_F(BoundLabel, ComboBoxesAndMemosCarryOneToo) {
  auto* combo = new TsComboBox(form);
  combo->SetName("sComboBox3");
  combo->SetParent(panel);
  combo->SetBounds(217, 44, 83, 21);
  combo->BoundLabel()->SetActive(true);
  combo->BoundLabel()->SetCaption("TTL:");
  combo->BoundLabel()->SetLayout(sclTopLeft);
  TsEditLabel* l = combo->BoundLabel()->Label();
  EXPECT_EQ(l->Name(), "sComboBox3Label");
  EXPECT_EQ(l->Top(), 31);
  combo->SetBounds(200, 100, 83, 21);
  EXPECT_EQ(l->Left(), 200);
  EXPECT_EQ(l->Top(), 87);
  combo->SetEnabled(false);
  EXPECT_FALSE(l->Enabled());
  auto* memo = new TsMemo(form);
  memo->SetName("sMemo1");
  memo->SetParent(panel);
  memo->SetBounds(100, 150, 150, 40);
  EXPECT_FALSE(memo->BoundLabel()->Active());
  memo->BoundLabel()->SetActive(true);
  TsEditLabel* ml = memo->BoundLabel()->Label();
  EXPECT_EQ(ml->Caption(), "sMemo1");
  memo->Hide();
  EXPECT_FALSE(ml->Visible());
  // Each frees its caption with itself.
  const int before = panel->ControlCount();
  delete memo;
  delete combo;
  EXPECT_EQ(panel->ControlCount(), before - 4);
}
