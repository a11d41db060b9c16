#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "toolkit/Classes.h"

namespace {

std::vector<std::string> g_log;

class TProbe : public TComponent {
 public:
  TProbe(TComponent* owner, std::string name) : TComponent(owner) { SetName(std::move(name)); }
  ~TProbe() override { g_log.push_back("free " + Name()); }
  TNotifyEvent OnLoaded;

 protected:
  void Loaded() override {
    TComponent::Loaded();
    g_log.push_back("loaded " + Name());
  }
  void Notification(TComponent* c, TOperation op) override {
    TComponent::Notification(c, op);
    if (op == TOperation::opRemove) g_log.push_back(Name() + " lost " + c->Name());
  }
};

TEST(Component, OwnerFreesWhatItOwnsLastCreatedFirst) {
  g_log.clear();
  auto* form = new TProbe(nullptr, "form");
  new TProbe(form, "a");
  auto* b = new TProbe(form, "b");
  new TProbe(b, "b1");
  EXPECT_EQ(form->ComponentCount(), 2);
  EXPECT_EQ(form->FindComponent("B"), b);
  delete form;
  EXPECT_EQ(g_log, (std::vector<std::string>{"free form", "free b", "free b1", "free a"}));
}

TEST(Component, FreeingAChildTellsItsSiblingsAndLeavesTheOwner) {
  g_log.clear();
  TProbe form(nullptr, "form");
  auto* a = new TProbe(&form, "a");
  new TProbe(&form, "b");
  delete a;
  EXPECT_EQ(form.ComponentCount(), 1);
  EXPECT_EQ(g_log, (std::vector<std::string>{"free a", "b lost a", "form lost a"}));
  g_log.clear();
}

TEST(Component, LoadingBracketReachesEveryComponentOnce) {
  g_log.clear();
  {
    TProbe form(nullptr, "form");
    form.BeginLoading();
    auto* panel = new TProbe(&form, "panel");
    new TProbe(panel, "edit");
    EXPECT_TRUE(panel->IsLoading());
    form.EndLoading();
    EXPECT_FALSE(panel->IsLoading());
    EXPECT_FALSE(form.IsLoading());
    EXPECT_EQ(g_log, (std::vector<std::string>{"loaded edit", "loaded panel", "loaded form"}));
    form.EndLoading();  // a second end finds nothing loading
    EXPECT_EQ(g_log.size(), 3u);
    g_log.clear();
  }
  g_log.clear();
}

TEST(Component, FreeNotificationReachesANonOwner) {
  g_log.clear();
  TProbe watcher(nullptr, "watcher");
  {
    TProbe other(nullptr, "other");
    other.FreeNotification(&watcher);
  }
  EXPECT_EQ(g_log, (std::vector<std::string>{"free other", "watcher lost other"}));
  g_log.clear();
}

TEST(Event, UnassignedDoesNothingAndBoundCallsTheMethod) {
  struct Target {
    int hits = 0;
    void Hit(TObject*) { ++hits; }
  } target;
  TNotifyEvent none;
  EXPECT_FALSE(none);
  none(nullptr);
  TNotifyEvent bound(&target, &Target::Hit);
  EXPECT_TRUE(bound);
  EXPECT_EQ(bound.Data(), &target);
  bound(nullptr);
  EXPECT_EQ(target.hits, 1);
}

}  // namespace
