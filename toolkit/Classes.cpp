#include "toolkit/Classes.h"

#include <algorithm>
#include <cctype>

TComponent::TComponent(TComponent* owner) {
  if (owner) {
    owner->InsertComponent(this);
    if (owner->IsLoading()) state_ |= csLoading;
    if (owner->IsDesigning()) state_ |= csDesigning;
  }
}

TComponent::~TComponent() {
  Destroying();
  // Tell those who asked, then free what we own (last created first).
  std::vector<TComponent*> notifies;
  notifies.swap(free_notifies_);
  for (TComponent* c : notifies) {
    auto& back = c->free_notifies_;
    back.erase(std::remove(back.begin(), back.end(), this), back.end());
    c->Notification(this, TOperation::opRemove);
  }
  while (!components_.empty()) {
    TComponent* child = components_.back();
    components_.pop_back();
    child->owner_ = nullptr;
    delete child;
  }
  if (owner_) owner_->RemoveComponent(this);
}

TComponent* TComponent::FindComponent(const std::string& name) const {
  if (name.empty()) return nullptr;
  for (TComponent* c : components_) {
    if (c->name_.size() == name.size() &&
        std::equal(name.begin(), name.end(), c->name_.begin(), [](char a, char b) {
          return std::tolower(static_cast<unsigned char>(a)) ==
                 std::tolower(static_cast<unsigned char>(b));
        }))
      return c;
  }
  return nullptr;
}

void TComponent::BeginLoading() {
  state_ |= csLoading | csReading;
  for (TComponent* c : components_) c->BeginLoading();
}

void TComponent::EndLoading() {
  // Copy: a Loaded() handler may create or free components.
  const std::vector<TComponent*> children = components_;
  for (TComponent* c : children) {
    if (std::find(components_.begin(), components_.end(), c) != components_.end()) c->EndLoading();
  }
  state_ &= ~csReading;
  if (IsLoading()) Loaded();
}

void TComponent::Loaded() {
  state_ &= ~csLoading;
}

void TComponent::Notification(TComponent* component, TOperation operation) {
  if (operation == TOperation::opRemove) RemoveFreeNotification(component);
}

void TComponent::Destroying() {
  state_ |= csDestroying;
}

void TComponent::SetDesigning(bool designing) {
  if (designing)
    state_ |= csDesigning;
  else
    state_ &= ~csDesigning;
}

void TComponent::FreeNotification(TComponent* component) {
  if (!component || component == this) return;
  if (std::find(free_notifies_.begin(), free_notifies_.end(), component) == free_notifies_.end())
    free_notifies_.push_back(component);
  auto& back = component->free_notifies_;
  if (std::find(back.begin(), back.end(), this) == back.end()) back.push_back(this);
}

void TComponent::RemoveFreeNotification(TComponent* component) {
  free_notifies_.erase(std::remove(free_notifies_.begin(), free_notifies_.end(), component),
                       free_notifies_.end());
}

void TComponent::InsertComponent(TComponent* component) {
  if (!component || component->owner_ == this) return;
  if (component->owner_) component->owner_->RemoveComponent(component);
  Insert(component);
  component->owner_ = this;
  for (TComponent* c : components_) c->Notification(component, TOperation::opInsert);
  Notification(component, TOperation::opInsert);
}

void TComponent::RemoveComponent(TComponent* component) {
  if (!component || component->owner_ != this) return;
  // Removal notifications go out only to the survivors.
  if (!IsDestroying()) {
    for (TComponent* c : components_)
      if (c != component) c->Notification(component, TOperation::opRemove);
    Notification(component, TOperation::opRemove);
  }
  Remove(component);
  component->owner_ = nullptr;
}

void TComponent::Insert(TComponent* component) {
  components_.push_back(component);
}

void TComponent::Remove(TComponent* component) {
  components_.erase(std::remove(components_.begin(), components_.end(), component),
                    components_.end());
}
