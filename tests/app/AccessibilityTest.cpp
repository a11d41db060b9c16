// The windows as a screen reader finds them: the accessibility tree read in
// process through Qt's accessibility interfaces, as the bridge to the
// desktop's accessibility bus reads it.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
#include <QTest>

#include <algorithm>
#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "app/AboutBox.h"
#include "app/Unit1.h"
#include "skin/SteamSkin.h"
#include "skin/sSkinManager.h"

namespace {

struct TNode {
  QAccessible::Role role;
  QString name;
  QString description;
  QString value;
  QAccessible::State state;
  QAccessibleInterface* iface;
};

// Every interface under `root`, depth first, each child's parent checked.
void Walk(QAccessibleInterface* root, std::vector<TNode>& out) {
  for (int i = 0; i < root->childCount(); ++i) {
    QAccessibleInterface* c = root->child(i);
    if (c == nullptr) continue;
    EXPECT_EQ(root->indexOfChild(c), i) << c->text(QAccessible::Name).toStdString();
    EXPECT_TRUE(c->parent() != nullptr && c->parent()->object() == root->object() &&
                (root->object() != nullptr || c->parent() == root))
        << c->text(QAccessible::Name).toStdString();
    out.push_back({c->role(), c->text(QAccessible::Name), c->text(QAccessible::Description),
                   c->text(QAccessible::Value), c->state(), c});
    Walk(c, out);
  }
}

std::vector<TNode> TreeOf(TWinControl* form) {
  std::vector<TNode> nodes;
  QAccessibleInterface* root = QAccessible::queryAccessibleInterface(form->Handle());
  EXPECT_NE(root, nullptr);
  if (root != nullptr) Walk(root, nodes);
  return nodes;
}

const TNode* Find(const std::vector<TNode>& nodes, QAccessible::Role role, const char* name) {
  for (const TNode& n : nodes)
    if (n.role == role && n.name == QString::fromUtf8(name)) return &n;
  return nullptr;
}

class Accessibility : public ::testing::Test {
 protected:
  void SetUp() override {
    Application->Initialize();
    manager_ = std::make_unique<TsSkinManager>(nullptr);
    TsStoredSkin& steam = manager_->InternalSkins().Add();
    steam.SetName(kSteamSkinName);
    steam.SetData(kSteamSkinData, kSteamSkinDataSize);
    manager_->SetSkinName(kSteamSkinName);
  }
  void TearDown() override { manager_.reset(); }

  std::unique_ptr<TsSkinManager> manager_;
};

TEST_F(Accessibility, TheMainWindowsInputsButtonsLogAndScopeAreNamed) {
  auto form = std::make_unique<TForm1>(Application);
  form->Show();
  QApplication::processEvents();
  const std::vector<TNode> nodes = TreeOf(form.get());

  // The host box: a text named after its caption, its hint the description.
  const TNode* host = Find(nodes, QAccessible::EditableText, "Target Address");
  ASSERT_NE(host, nullptr);
  EXPECT_EQ(host->description, "Enter Host Name or IP Address");
  EXPECT_EQ(host->iface->object(), form->sEdit1->Handle());
  EXPECT_FALSE(host->state.multiLine);

  // The five choice boxes, by caption, their value the current choice.
  struct TChoice {
    const char* name;
    TsComboBox* box;
    const char* hint;
  };
  const TChoice choices[] = {
      {"Count", form->sComboBox4, "Select The Pings Count to Send"},
      {"Size", form->sComboBox1, "Select Sonarix Packet Size"},
      {"Time Out", form->sComboBox2, "Select Time to Wait for Response (in milliseconds)"},
      {"TTL", form->sComboBox3, "Time To Live (maximum number of hops)"},
      {"Treshhold", form->sComboBox5, "Set The Visual Scope Treshold (reply time)"},
  };
  for (const TChoice& c : choices) {
    const TNode* node = Find(nodes, QAccessible::ComboBox, c.name);
    ASSERT_NE(node, nullptr) << c.name;
    EXPECT_EQ(node->iface->object(), c.box->Handle()) << c.name;
    EXPECT_EQ(node->value.toStdString(), c.box->Text()) << c.name;
    EXPECT_EQ(node->description.toStdString(), c.hint);
  }

  // The six buttons: push buttons named by their captions, with the press
  // action doing what a click does.
  int buttons = 0;
  for (const TNode& n : nodes) buttons += n.role == QAccessible::PushButton ? 1 : 0;
  EXPECT_EQ(buttons, 6);
  for (TsBitBtn* b : {form->sBitBtn1, form->sBitBtn2, form->sBitBtn3, form->sBitBtn4,
                      form->sBitBtn5, form->sBitBtn6}) {
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(b->Handle());
    ASSERT_NE(iface, nullptr);
    EXPECT_EQ(iface->role(), QAccessible::PushButton) << b->Name();
    EXPECT_EQ(iface->text(QAccessible::Name).toStdString(), b->Caption()) << b->Name();
    EXPECT_EQ(iface->text(QAccessible::Description).toStdString(), b->Hint()) << b->Name();
    ASSERT_NE(iface->actionInterface(), nullptr) << b->Name();
    EXPECT_TRUE(iface->actionInterface()->actionNames().contains(
        QAccessibleActionInterface::pressAction()));
  }
  form->sMemo1->Lines().Add("something to clear");
  QAccessible::queryAccessibleInterface(form->sBitBtn3->Handle())
      ->actionInterface()
      ->doAction(QAccessibleActionInterface::pressAction());
  EXPECT_EQ(form->sMemo1->Lines().Count(), 0) << "the clear button's press action";

  // The log: a named multi-line text.
  const TNode* log = Find(nodes, QAccessible::EditableText, "Ping Log");
  ASSERT_NE(log, nullptr);
  EXPECT_TRUE(log->state.multiLine);
  EXPECT_EQ(log->iface->object(), form->sMemo1->Handle());

  // The scope: a picture named for what it shows, where it is drawn.
  const TNode* scope = Find(nodes, QAccessible::Graphic, "Reply Time Chart");
  ASSERT_NE(scope, nullptr);
  EXPECT_EQ(scope->description, "Reply Time (in milliseconds)");
  const QRect on_screen = scope->iface->rect();
  EXPECT_EQ(on_screen.size(), QSize(form->GrScope1->Width(), form->GrScope1->Height()));
  EXPECT_TRUE(form->GrScope1->Parent()->Handle()->rect().contains(
      form->GrScope1->Parent()->Handle()->mapFromGlobal(on_screen.center())));

  // The captions read as text too.
  for (const char* caption :
       {"Target Address:", "Count:", "Size:", "Time Out:", "TTL:", "Treshhold:"})
    EXPECT_NE(Find(nodes, QAccessible::StaticText, caption), nullptr) << caption;
}

TEST_F(Accessibility, KeyboardFocusStillMovesThroughTheInputsAsBefore) {
  auto form = std::make_unique<TForm1>(Application);
  form->Show();
  QApplication::processEvents();
  // Reading the tree changes nothing of the keys.
  TreeOf(form.get());
  form->sEdit1->SetFocus();
  QTest::keyClick(form->sEdit1->Handle(), Qt::Key_Tab);
  EXPECT_TRUE(form->sComboBox4->Focused());
}

TEST_F(Accessibility, TheAboutBoxsTextsAndOkAreReadable) {
  Application->CreateForm(AboutBox);
  std::unique_ptr<TAboutBox> box(AboutBox);
  box->Show();
  QApplication::processEvents();
  const std::vector<TNode> nodes = TreeOf(box.get());
  std::vector<std::string> texts;
  for (const TNode& n : nodes)
    if (n.role == QAccessible::StaticText) texts.push_back(n.name.toStdString());
  for (const TControl* l : std::initializer_list<const TControl*>{box->sLabelFX1, box->Copyright,
                                                                  box->sLabel1, box->Comments})
    EXPECT_NE(std::find(texts.begin(), texts.end(), l->Caption()), texts.end()) << l->Caption();
  const TNode* ok = Find(nodes, QAccessible::PushButton, "OK");
  ASSERT_NE(ok, nullptr);
  EXPECT_EQ(ok->iface->object(), box->sBitBtn1->Handle());
  EXPECT_NE(Find(nodes, QAccessible::Graphic, "Sonarix Logo"), nullptr);
}

TEST_F(Accessibility, AControlThatGoesLeavesNoInterfaceBehind) {
  auto form = std::make_unique<TForm>(nullptr);
  auto* label = new TLabel(form.get());
  label->SetParent(form.get());
  label->SetCaption("&Gone");
  form->Show();
  QApplication::processEvents();
  std::vector<TNode> nodes = TreeOf(form.get());
  const TNode* node = Find(nodes, QAccessible::StaticText, "Gone");
  ASSERT_NE(node, nullptr);
  const QAccessible::Id id = QAccessible::uniqueId(node->iface);
  delete label;
  EXPECT_EQ(QAccessible::accessibleInterface(id), nullptr);
  nodes = TreeOf(form.get());
  EXPECT_EQ(Find(nodes, QAccessible::StaticText, "Gone"), nullptr);
}

}  // namespace
