// The per-control skin state: looking the indexes up, deciding on a cache,
// the commands every skinned control answers, what a parent tells a child
// about what lies behind it (QueryBackInfo) and the colour it should assume
// (QueryFillColor).
#include <gtest/gtest.h>

#include <QPainter>

#include "SkinCtlTestUtil.h"
#include "skin/sPanel.h"
#include "toolkit/ExtCtrls.h"

using namespace skinctltest;

namespace {

// A control kind's skin data over a plain panel, for kinds whose control
// is not the point of the test.
class THost : public TsSkinHost {
 public:
  int state = 0;
  int prepared = 0;
  int CurrentSkinState() const override { return state; }
  void PrepareCache() override { ++prepared; }
};

class CommonData : public SkinFixture {
 protected:
  TsPanel* Panel(TWinControl* parent, const char* section, TRect bounds) {
    return AddPanel(form, parent, section, bounds);
  }
  BackgroundInfo Ask(TControl* child) {
    BackgroundInfo info;
    info.Kind = 77;  // cleared by the asking
    AskParentBackground(child, info);
    return info;
  }
  // Builds the cache as a paint would.
  void Build(TsPanel* p) { p->PrepareCache(); }
};

}  // namespace

TEST_F(CommonData, IndexesAndCacheDecisionForTheSectionsTheProgramPaints) {
  struct TCase {
    const char* section;
    int kind;
    bool plain;  // the look is one colour: no cache
  };
  const TCase cases[] = {
      {"PANEL", ckPanel, false},  // borders of 7 add up to 28 (> 24)
      {"FORM", ckForm, false},    // borders of 13
      {"EDIT", ckPanel, true},    // borders add up to 20, opaque, no gradient
      {"EDIT", ckEdit, false},    // an edit always keeps its cache
      {"COMBOBOX", ckComboBox, false}, {"BUTTON", ckButton, false},  // see-through, keeps its cache
      {"FLAT", ckPanel, true},         {"GLASS", ckPanel, false},    // partly transparent
      {"CLEARBORDER", ckPanel, false},  // see-through with 28 px of border
  };
  auto* owner = new TPanel(form);
  owner->SetParent(form);
  for (const TCase& c : cases) {
    THost host;
    TsCommonData d(owner, owner, &host, c.kind);
    d.SetSkinSection(c.section);
    const int s = manager->SectionIndex(c.section);
    ASSERT_GE(s, 0) << c.section;
    EXPECT_EQ(d.SkinIndex(), s) << c.section;
    EXPECT_EQ(d.BorderIndex(), manager->MaskIndex(s, c.section, "BORDERSMASK")) << c.section;
    EXPECT_EQ(d.Texture(), -1) << c.section;
    EXPECT_EQ(d.HotTexture(), -1) << c.section;
    EXPECT_EQ(d.PlainColor(), c.plain) << c.section;
    EXPECT_TRUE(d.BGChanged()) << c.section;
  }
  // The program's sections that have a border mask have it found.
  THost host;
  TsCommonData button(owner, owner, &host, ckButton);
  EXPECT_EQ(button.SkinSection(), "BUTTON");  // the kind's default
  EXPECT_GE(button.BorderIndex(), 0);
  EXPECT_EQ(button.BGType(), 0);
  TsCommonData panel(owner, owner, &host, ckPanel);
  EXPECT_EQ(panel.BGType(), TsCommonData::kBgVertical);
  // Names are stored upper-cased; an empty one is "UNKNOWN", which no skin has.
  panel.SetSkinSection("edit");
  EXPECT_EQ(panel.SkinSection(), "EDIT");
  panel.SetSkinSection("");
  EXPECT_EQ(panel.SkinSection(), "UNKNOWN");
  EXPECT_EQ(panel.SkinIndex(), -1);
  EXPECT_FALSE(panel.Skinned());
}

TEST_F(CommonData, SeeThroughContainerNeedsACacheOnlyOverAParentThatIsNotOneColour) {
  TsPanel* flat = Panel(form, "FLAT", Bounds(0, 0, 150, 100));
  TsPanel* gradient = Panel(form, "PANEL", Bounds(150, 0, 150, 100));
  TsPanel* over_flat = Panel(flat, "CLEAR", Bounds(10, 10, 50, 40));
  TsPanel* over_gradient = Panel(gradient, "CLEAR", Bounds(10, 10, 50, 40));
  EXPECT_TRUE(flat->SkinData()->PlainColor());
  EXPECT_FALSE(gradient->SkinData()->PlainColor());
  EXPECT_TRUE(over_flat->SkinData()->PlainColor());
  EXPECT_FALSE(over_gradient->SkinData()->PlainColor());
  // Command 36 answers the flag, and with data 1 recomputes it down the tree.
  EXPECT_EQ(SkinCommand(flat, TsCommand::CacheFlags), 1);
  EXPECT_EQ(SkinCommand(gradient, TsCommand::CacheFlags), 0);
  // The flat section gains a gradient: nothing knows until told.
  manager->Model()
      .Sections()[static_cast<std::size_t>(manager->SectionIndex("FLAT"))]
      .GradientPercent = 50;
  EXPECT_TRUE(over_flat->SkinData()->PlainColor());
  SkinCommand(flat, TsCommand::CacheFlags, 1);
  EXPECT_FALSE(flat->SkinData()->PlainColor());
  EXPECT_FALSE(over_flat->SkinData()->PlainColor());
  // A new section on the parent reaches the children through RepaintSkin.
  over_gradient->SkinData()->SetSkinSection("CLEAR");
  gradient->SkinData()->SetSkinSection("FLAT");
  EXPECT_FALSE(over_gradient->SkinData()->PlainColor());
  gradient->SkinData()->SetSkinSection("EDIT");
  EXPECT_TRUE(over_gradient->SkinData()->PlainColor());
}

TEST_F(CommonData, CommandsEverySkinnedControlAnswers) {
  TsPanel* parent = Panel(form, "PANEL", Bounds(0, 0, 200, 150));
  TsPanel* p = Panel(parent, "GLASS", Bounds(10, 20, 60, 40));
  TsCommonData& d = *p->SkinData();
  EXPECT_EQ(SkinCommand(p, TsCommand::QuerySkinned), 1);
  EXPECT_EQ(SkinCommand(p, TsCommand::QuerySectionIndex), manager->SectionIndex("GLASS") + 1);
  EXPECT_EQ(SkinCommand(p, TsCommand::QueryAppWindow),
            reinterpret_cast<std::intptr_t>(Application));

  // Dirty until a cache is built; then only while the parent is.
  EXPECT_EQ(SkinCommand(p, TsCommand::QueryBackDirty), 1);
  Build(parent);
  Build(p);
  EXPECT_FALSE(d.BGChanged());
  EXPECT_FALSE(d.Updating());
  EXPECT_EQ(SkinCommand(p, TsCommand::QueryBackDirty), 0);
  SkinCommand(parent, TsCommand::MarkBackDirty);
  EXPECT_TRUE(d.Updating());  // waits for its parent's cache
  EXPECT_EQ(SkinCommand(p, TsCommand::QueryBackDirty), 1);
  Build(parent);
  EXPECT_EQ(SkinCommand(p, TsCommand::QueryBackDirty), 0);

  // MarkUpdating takes its flag from the low word of the first parameter.
  SkinCommand(p, TsCommand::MarkUpdating, 0, 1);
  EXPECT_TRUE(d.UpdatingFlag());
  SkinCommand(p, TsCommand::MarkUpdating, 0, 0);
  EXPECT_FALSE(d.UpdatingFlag());

  // Command 12 dirties a see-through section only, with flag 1 only.
  SkinCommand(p, TsCommand::TransparentDirty, 0, 0);
  EXPECT_FALSE(d.BGChanged());
  SkinCommand(p, TsCommand::TransparentDirty, 0, 1);
  EXPECT_TRUE(d.BGChanged());
  Build(p);
  SkinCommand(parent, TsCommand::TransparentDirty, 0, 1);  // PANEL is opaque
  EXPECT_FALSE(parent->SkinData()->BGChanged());

  // ParentBackDirty reaches the children whose look depends on the parent.
  auto* opaque_child = Panel(parent, "FLAT", Bounds(100, 10, 30, 30));
  Build(opaque_child);
  SkinCommand(parent, TsCommand::ParentBackDirty);
  EXPECT_FALSE(parent->SkinData()->BGChanged());  // PANEL does not depend on the form
  auto* glass_parent = Panel(form, "GLASS", Bounds(0, 160, 200, 60));
  auto* glass_child = Panel(glass_parent, "GLASS", Bounds(5, 5, 20, 20));
  auto* flat_child = Panel(glass_parent, "FLAT", Bounds(30, 5, 20, 20));
  Build(glass_parent);
  Build(glass_child);
  Build(flat_child);
  SkinCommand(glass_parent, TsCommand::ParentBackDirty);
  EXPECT_TRUE(glass_parent->SkinData()->BGChanged());
  EXPECT_TRUE(glass_child->SkinData()->BGChanged());
  EXPECT_FALSE(flat_child->SkinData()->BGChanged());

  // Half visible: clipped by the parent, and set by command 22.
  EXPECT_EQ(SkinCommand(p, TsCommand::QueryHalfVisible), 0);
  p->SetBounds(180, 20, 60, 40);
  EXPECT_EQ(SkinCommand(p, TsCommand::QueryHalfVisible), 1);
  p->SetBounds(10, 20, 60, 40);
  EXPECT_EQ(SkinCommand(p, TsCommand::QueryHalfVisible), 0);
  SkinCommand(p, TsCommand::SetHalfVisible);
  EXPECT_TRUE(d.HalfVisible());
}

TEST_F(CommonData, MovingSizingAndShowingMarkTheBackgroundChanged) {
  TsPanel* p = Panel(form, "PANEL", Bounds(0, 0, 200, 100));
  Build(p);
  p->SetBounds(0, 0, 210, 100);
  EXPECT_TRUE(p->SkinData()->BGChanged());
  Build(p);
  EXPECT_EQ(p->SkinData()->CacheBmp().Width(), 210);
  p->SetLeft(5);
  EXPECT_TRUE(p->SkinData()->BGChanged());
  Build(p);
  p->Hide();
  EXPECT_TRUE(p->SkinData()->CacheBmp().Empty());
  SkinCommand(p, TsCommand::MarkUpdating, 0, 1);
  p->Show();
  EXPECT_FALSE(p->SkinData()->UpdatingFlag());
  EXPECT_TRUE(p->SkinData()->BGChanged());
}

TEST_F(CommonData, BackInfoOfAnOpaqueParent) {
  // Opaque and one colour: the section's colour, or the control's own
  // Color with CustomColor.
  TsPanel* flat = Panel(form, "FLAT", Bounds(0, 0, 150, 100));
  auto* child = new TPanel(form);
  child->SetParent(flat);
  child->SetBounds(10, 10, 20, 20);
  BackgroundInfo info = Ask(child);
  EXPECT_EQ(info.Kind, bkFill);
  EXPECT_EQ(info.Color, 0x112233);
  flat->SetColor(0x445566);
  flat->SkinData()->SetCustomColor(true);
  EXPECT_EQ(Ask(child).Color, 0x445566);

  // Opaque with a gradient: the cache, offsets at the client's origin.
  TsPanel* panel = Panel(form, "PANEL", Bounds(150, 0, 150, 100));
  child->SetParent(panel);
  info = Ask(child);
  EXPECT_EQ(info.Kind, bkFill);  // no cache yet: nothing usable known
  EXPECT_EQ(info.Color, 0xFF00FF);
  Build(panel);
  info = Ask(child);
  EXPECT_EQ(info.Kind, bkCache);
  EXPECT_EQ(info.Bitmap, &panel->SkinData()->CacheBmp());
  EXPECT_EQ(info.OffsetX, 0);
  EXPECT_EQ(info.OffsetY, 0);
  // Children sit inside the client area: a frame moves the offsets.
  panel->SetBorderStyle(TBorderStyle::bsSingle);
  Build(panel);
  info = Ask(child);
  EXPECT_EQ(info.OffsetX, 2);
  EXPECT_EQ(info.OffsetY, 2);

  // A parent that is not skinned gives its Color; so does one without a skin.
  child->SetParent(form);
  info = Ask(child);
  EXPECT_EQ(info.Kind, bkFill);
  EXPECT_EQ(info.Color, 0x405060);
  TsPanel* unknown = Panel(form, "NO SUCH SECTION", Bounds(0, 100, 50, 50));
  unknown->SetColor(0x0A0B0C);
  child->SetParent(unknown);
  EXPECT_EQ(Ask(child).Color, 0x0A0B0C);
}

TEST_F(CommonData, BackInfoOfASeeThroughParentComesFromItsOwnParent) {
  TsPanel* panel = Panel(form, "PANEL", Bounds(0, 0, 300, 200));
  TsPanel* clear = Panel(panel, "CLEAR", Bounds(30, 40, 100, 80));
  auto* child = new TPanel(form);
  child->SetParent(clear);
  child->SetBounds(5, 6, 20, 20);
  Build(panel);
  BackgroundInfo info = Ask(child);
  EXPECT_EQ(info.Kind, bkCache);
  EXPECT_EQ(info.Bitmap, &panel->SkinData()->CacheBmp());
  EXPECT_EQ(info.OffsetX, 30);  // the see-through panel's place in the cache
  EXPECT_EQ(info.OffsetY, 40);

  // Over a colour, the colour; at the top of the tree, the global colour.
  TsPanel* flat = Panel(form, "FLAT", Bounds(0, 200, 100, 40));
  clear->SetParent(flat);
  info = Ask(child);
  EXPECT_EQ(info.Kind, bkFill);
  EXPECT_EQ(info.Color, 0x112233);
  TsPanel top(nullptr);
  top.SkinData()->SetSkinSection("CLEAR");
  child->SetParent(&top);
  info = Ask(child);
  EXPECT_EQ(info.Kind, bkFill);
  EXPECT_EQ(info.Color, manager->GlobalColor());
  child->SetParent(form);

  // With 28 pixels of border the parent answers with its own cache.
  TsPanel* bordered = Panel(form, "CLEARBORDER", Bounds(0, 0, 100, 60));
  auto* inner = new TPanel(form);
  inner->SetParent(bordered);
  EXPECT_EQ(Ask(inner).Color, 0xFF00FF);
  Build(bordered);
  info = Ask(inner);
  EXPECT_EQ(info.Kind, bkCache);
  EXPECT_EQ(info.Bitmap, &bordered->SkinData()->CacheBmp());
}

TEST_F(CommonData, BackInfoOfAPartlyTransparentParentNeedsItsCache) {
  TsPanel* glass = Panel(form, "GLASS", Bounds(0, 0, 100, 60));
  auto* child = new TPanel(form);
  child->SetParent(glass);
  BackgroundInfo info = Ask(child);
  EXPECT_EQ(info.Kind, bkFill);
  EXPECT_EQ(info.Color, 0xFF00FF);
  Build(glass);
  info = Ask(child);
  EXPECT_EQ(info.Kind, bkCache);
  EXPECT_EQ(info.Bitmap, &glass->SkinData()->CacheBmp());
  // The cache holds red at 40 % over the form's colour (t = 102).
  EXPECT_EQ(PixelOf(glass->SkinData()->CacheBmp(), 50, 30),
            RGB(TransparencyBlend(0x60, 0xFF, 102), TransparencyBlend(0x50, 0, 102),
                TransparencyBlend(0x40, 0, 102)));
}

TEST_F(CommonData, BackInfoPleaseDrawPaintsTheTarget) {
  TsPanel* panel = Panel(form, "PANEL", Bounds(0, 0, 120, 100));
  TsPanel* flat = Panel(form, "FLAT", Bounds(120, 0, 100, 100));
  Build(panel);
  QImage target(40, 40, QImage::Format_RGB32);
  target.fill(Qt::black);
  {
    QPainter painter(&target);
    BackgroundInfo info;
    info.PleaseDraw = true;
    info.DrawDC = &painter;
    info.R = Bounds(0, 0, 40, 40);
    SkinCommand(panel, TsCommand::QueryBackInfo, reinterpret_cast<std::intptr_t>(&info));
    info.R = Bounds(20, 20, 10, 10);
    SkinCommand(flat, TsCommand::QueryBackInfo, reinterpret_cast<std::intptr_t>(&info));
  }
  // The panel's cache at the rectangle (its border), then the flat colour.
  EXPECT_EQ(PixelOf(target, 0, 0), PixelOf(panel->SkinData()->CacheBmp(), 0, 0));
  EXPECT_EQ(PixelOf(target, 15, 12), PixelOf(panel->SkinData()->CacheBmp(), 15, 12));
  EXPECT_EQ(PixelOf(target, 25, 25), 0x112233);
}

TEST_F(CommonData, FillColorFollowsTheTransparency) {
  TsPanel* flat = Panel(form, "FLAT", Bounds(0, 0, 300, 200));
  TsPanel* glass = Panel(flat, "GLASS", Bounds(10, 10, 100, 100));
  TsPanel* clear = Panel(flat, "CLEAR", Bounds(120, 10, 100, 100));
  auto fill = [](TControl* c) {
    return static_cast<TColor>(SkinCommand(c, TsCommand::QueryFillColor));
  };
  EXPECT_EQ(fill(flat), 0x112233);
  EXPECT_EQ(fill(clear), 0x112233);
  // 40 % taken as 40/256 of the way from red to 0x112233, per channel.
  EXPECT_EQ(fill(glass), RGB(0xFF + 40 * (0x33 - 0xFF) / 256, 40 * 0x22 / 256, 40 * 0x11 / 256));
  // A parent that is not skinned gives its own colour; an unknown colour
  // gives the control's own.
  TsPanel* on_form = Panel(form, "CLEAR", Bounds(0, 0, 10, 10));
  EXPECT_EQ(fill(on_form), 0x405060);
  TsPanel* on_glass_clear = Panel(glass, "CLEAR", Bounds(0, 0, 10, 10));
  EXPECT_EQ(fill(on_glass_clear), fill(glass));
  form->SetColor(0xFF00FF);
  on_form->SetColor(0x010203);
  EXPECT_EQ(fill(on_form), 0x010203);
}
