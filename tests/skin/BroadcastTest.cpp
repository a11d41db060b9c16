// The manager announcing skins to real forms and controls under the
// offscreen platform: every form and control hears each command once, the
// registered forms are redrawn, and the wrong-magic warning box appears once.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTimer>
#include <QWidget>

#include <string>
#include <type_traits>
#include <vector>

#include "skin/SteamSkin.h"
#include "skin/sSkinHook.h"
#include "skin/sSkinManager.h"
#include "toolkit/Controls.h"
#include "toolkit/Dialogs.h"
#include "toolkit/ExtCtrls.h"
#include "toolkit/Forms.h"

namespace {
struct TSeen {
  TsCommand Command;
  std::intptr_t Data;
};

// Records the skin commands a control receives.
template <class Base>
class TProbe : public Base {
 public:
  explicit TProbe(TComponent* owner, bool skinned = false) : Base(owner), skinned_(skinned) {}
  std::vector<TSeen> Seen;
  int Count(TsCommand c) const {
    int n = 0;
    for (const TSeen& s : Seen) n += s.Command == c;
    return n;
  }

 protected:
  void Dispatch(TMessage& m) override {
    if (m.Msg == SM_LUMVEXCMD) {
      const TsCommand c = SkinCommandOf(m.WParam);
      if (c == TsCommand::QuerySkinned) {
        m.Result = skinned_ ? 1 : 0;
        return;
      }
      Seen.push_back({c, m.LParam});
      // A skinned control forwards to its children itself (a form's
      // children are reached by the manager).
      if constexpr (std::is_base_of_v<TWinControl, Base> && !std::is_base_of_v<TCustomForm, Base>) {
        if (skinned_) {
          for (int i = 0; i < this->ControlCount(); ++i) {
            this->Controls(i)->Perform(SM_LUMVEXCMD, m.WParam, m.LParam);
          }
        }
      }
      return;
    }
    Base::Dispatch(m);
  }

 private:
  bool skinned_;
};

class TLink : public TsFormSkinLink {
 public:
  TsSkinManager* Manager = nullptr;
  int Recomputed = 0;
  TsSkinManager* LinkedManager() const override { return Manager; }
  void RecomputeFrame() override { ++Recomputed; }
};

void AddSteam(TsSkinManager& m) {
  TsStoredSkin& s = m.InternalSkins().Add();
  s.SetName(kSteamSkinName);
  s.SetData(kSteamSkinData, kSteamSkinDataSize);
}

// Closes every message box that appears, recording its text.
class TBoxCloser {
 public:
  TBoxCloser() {
    QObject::connect(&timer_, &QTimer::timeout, [this] {
      for (QWidget* w : QApplication::topLevelWidgets()) {
        auto* box = dynamic_cast<TMessageForm*>(FindControl(w));
        if (box == nullptr || !box->Visible() || box->ModalResult() != mrNone) continue;
        Texts.push_back(box->Message());
        Types.push_back(box->DlgType());
        box->SetModalResult(mrOk);
      }
    });
    timer_.start(5);
  }
  std::vector<std::string> Texts;
  std::vector<TMsgDlgType> Types;

 private:
  QTimer timer_;
};
}  // namespace

TEST(SkinBroadcast, EveryFormAndControlHearsTheCommandsOnce) {
  auto* form = new TProbe<TForm>(Application);
  auto* panel = new TProbe<TPanel>(form);
  panel->SetParent(form);
  auto* inner = new TProbe<TGraphicControl>(form);
  inner->SetParent(panel);
  auto* skinned = new TProbe<TPanel>(form, true);
  skinned->SetParent(form);
  auto* behind_skinned = new TProbe<TGraphicControl>(form);
  behind_skinned->SetParent(skinned);
  {
    TsSkinManager m(nullptr);
    AddSteam(m);
    m.SetSkinName("Steam (internal)");
    EXPECT_EQ(form->Count(TsCommand::ApplySkin), 1);
    EXPECT_EQ(inner->Count(TsCommand::ApplySkin), 1);
    EXPECT_EQ(skinned->Count(TsCommand::ApplySkin), 1);
    EXPECT_EQ(behind_skinned->Count(TsCommand::ApplySkin), 1);
    // A plain window is descended into, not told itself.
    EXPECT_EQ(panel->Count(TsCommand::ApplySkin), 0);
    ASSERT_FALSE(inner->Seen.empty());
    EXPECT_EQ(inner->Seen.front().Data, reinterpret_cast<std::intptr_t>(&m));
    // The refresh after a change: fades stop, then everything repaints.
    EXPECT_EQ(inner->Count(TsCommand::HaltFade), 1);
    EXPECT_EQ(inner->Count(TsCommand::RepaintSkin), 1);
    EXPECT_TRUE(SkinHookInstalled());
    inner->Seen.clear();
    m.SetActive(false);
    EXPECT_EQ(inner->Count(TsCommand::DropSkin), 1);
    EXPECT_FALSE(SkinHookInstalled());
  }
  delete form;
}

TEST(SkinBroadcast, RegisteredFormsAreReachedAndRedrawnOnce) {
  auto* form = new TProbe<TForm>(Application, true);
  auto* child = new TProbe<TGraphicControl>(form);
  child->SetParent(form);
  form->SetBounds(10, 10, 200, 120);
  form->Show();
  TLink link;
  {
    TsSkinManager m(nullptr);
    link.Manager = &m;
    RegisterSkinnedForm(form, &link);
    AddSteam(m);
    m.SetSkinName("Steam (internal)");
    EXPECT_EQ(form->Count(TsCommand::ApplySkin), 1);
    EXPECT_EQ(child->Count(TsCommand::ApplySkin), 1);
    EXPECT_EQ(form->Count(TsCommand::RepaintSkin), 1);
    EXPECT_EQ(link.Recomputed, 1);
    link.Manager = nullptr;  // a form of another manager is not redrawn
    m.RepaintForms();
    EXPECT_EQ(link.Recomputed, 1);
    UnregisterSkinnedForm(form);
    EXPECT_TRUE(RegisteredSkinnedForms().empty());
  }
  delete form;
}

TEST(SkinBroadcast, LoadedAnnouncesOnceWithoutRefresh) {
  auto* form = new TProbe<TForm>(Application);
  {
    TsSkinManager m(nullptr);
    m.BeginLoading();
    AddSteam(m);
    m.SetSkinName("Steam (internal)");
    EXPECT_EQ(form->Count(TsCommand::ApplySkin), 0);
    m.EndLoading();
    EXPECT_EQ(form->Count(TsCommand::ApplySkin), 1);
    EXPECT_EQ(form->Count(TsCommand::RepaintSkin), 0);
  }
  delete form;
}

TEST(SkinBroadcast, WrongMagicShowsTheWarningOnceAndLoadsNothing) {
  TBoxCloser closer;
  TsSkinManager m(nullptr);
  TsStoredSkin& s = m.InternalSkins().Add();
  s.SetName("Bad");
  std::vector<std::uint8_t> data(kSteamSkinData, kSteamSkinData + kSteamSkinDataSize);
  data[0] = 'X';
  s.SetData(std::move(data));
  m.SetSkinName("Bad");
  ASSERT_EQ(closer.Texts.size(), 1u);
  EXPECT_EQ(closer.Texts[0], "Loaded data is not packed LumvexSkin file");
  EXPECT_EQ(closer.Types[0], mtWarning);
  EXPECT_TRUE(m.Model().Sections().empty());
  EXPECT_EQ(m.SectionIndex("PANEL"), -1);
}

TEST(SkinHook, AdoptionRules) {
  const TsSkinningRules all = srStdForms | srStdDialogs | srThirdParty;
  TsWindowFacts form;
  form.IsToolkitForm = true;
  EXPECT_EQ(AdoptionFor(form, all), TsAdoption::Form);
  EXPECT_EQ(AdoptionFor(form, srStdDialogs), TsAdoption::None);
  form.Tag = kNoAdoptionTag;
  EXPECT_EQ(AdoptionFor(form, all), TsAdoption::None);
  TsWindowFacts box;
  box.IsToolkitForm = box.IsMessageForm = true;
  EXPECT_EQ(AdoptionFor(box, all), TsAdoption::MessageForm);
  EXPECT_EQ(AdoptionFor(box, srStdForms), TsAdoption::None);
  TsWindowFacts dialog;
  EXPECT_EQ(AdoptionFor(dialog, all), TsAdoption::PlatformDialog);
  EXPECT_EQ(AdoptionFor(dialog, srStdForms), TsAdoption::None);
  TsWindowFacts skinned = form;
  skinned.Tag = 0;
  skinned.Skinned = true;
  EXPECT_EQ(AdoptionFor(skinned, all), TsAdoption::None);
  TsWindowFacts app;
  app.IsApplicationWindow = true;
  EXPECT_EQ(AdoptionFor(app, all), TsAdoption::None);
}

TEST(SkinHook, MessageBoxesAreAdoptedWhileTheSkinIsOn) {
  TsSkinManager m(nullptr);
  AddSteam(m);
  m.SetSkinName("Steam (internal)");
  std::vector<TsAdoption> made;
  SetWindowAdopter([&made](QWidget*, TsAdoption kind, TsSkinManager* manager) {
    made.push_back(kind);
    return std::unique_ptr<TObject>();
  });
  {
    TBoxCloser closer;
    ShowMessage("hello");
    ASSERT_EQ(closer.Texts.size(), 1u);
  }
  SetWindowAdopter(nullptr);
  ASSERT_FALSE(made.empty());
  EXPECT_EQ(made.front(), TsAdoption::MessageForm);
}

TEST(SkinBroadcast, TheWindowHoldingTheManagerHearsTheAnnouncementOnce) {
  // As a window builds itself: the manager is one of its components, and
  // the window finishes loading after them.
  auto* form = new TProbe<TForm>(Application);
  form->BeginLoading();
  auto* panel = new TProbe<TPanel>(form, true);
  panel->SetParent(form);
  auto* m = new TsSkinManager(form);
  AddSteam(*m);
  m->SetSkinName("Steam (internal)");
  EXPECT_EQ(m->SkinInfo(), "N/A");
  form->EndLoading();
  EXPECT_EQ(m->SkinInfo(), "5.41");
  EXPECT_EQ(form->Count(TsCommand::ApplySkin), 1);
  EXPECT_EQ(panel->Count(TsCommand::ApplySkin), 1);
  EXPECT_EQ(form->Count(TsCommand::RepaintSkin), 0);
  delete form;  // frees the manager, which takes its skin away
  EXPECT_EQ(DefaultManager(), nullptr);
}
