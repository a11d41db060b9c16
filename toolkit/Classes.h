// The component framework's root: objects, object-bound events and
// components with owner-based lifetime and the loading bracket.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

class TObject {
 public:
  TObject() = default;
  TObject(const TObject&) = delete;
  TObject& operator=(const TObject&) = delete;
  virtual ~TObject() = default;
};

// An event: a callback together with the object it is bound to. An
// unassigned event is not fired (calling it does nothing).
template <class... Args>
class TEvent {
 public:
  TEvent() = default;
  TEvent(std::nullptr_t) {}

  // Binds a method of `object`.
  template <class T, class M>
  requires std::is_member_function_pointer_v<M> TEvent(T* object, M method)
      : data_(object),
        fn_([object, method](Args... args) { (object->*method)(std::forward<Args>(args)...); }) {}

  // Binds a free callable; `data` names the object it belongs to, if any.
  // The constraint keeps copies and moves of a TEvent away from it.
  template <class F>
  requires std::is_invocable_v<F&, Args...> &&(!std::is_same_v<std::decay_t<F>, TEvent>)
      TEvent(  // NOLINT(bugprone-forwarding-reference-overload)
          F&& fn, const void* data = nullptr)
      : data_(data), fn_(std::forward<F>(fn)) {}

  explicit operator bool() const { return static_cast<bool>(fn_); }
  bool Assigned() const { return static_cast<bool>(fn_); }
  const void* Data() const { return data_; }

  void operator()(Args... args) const {
    if (fn_) fn_(std::forward<Args>(args)...);
  }

 private:
  const void* data_ = nullptr;
  std::function<void(Args...)> fn_;
};

using TNotifyEvent = TEvent<TObject* /*Sender*/>;

enum class TOperation { opInsert, opRemove };

// Component state flags.
enum TComponentStateFlags : std::uint32_t {
  csLoading = 1u << 0,
  csReading = 1u << 1,
  csWriting = 1u << 2,
  csDestroying = 1u << 3,
  csDesigning = 1u << 4,
};

class TComponent : public TObject {
 public:
  // The owner frees this component when the owner is destroyed. A component
  // created while its owner is loading starts loading as well.
  explicit TComponent(TComponent* owner);
  ~TComponent() override;

  TComponent* Owner() const { return owner_; }
  const std::string& Name() const { return name_; }
  void SetName(const std::string& name) { name_ = name; }
  std::intptr_t Tag() const { return tag_; }
  void SetTag(std::intptr_t tag) { tag_ = tag; }

  std::uint32_t ComponentState() const { return state_; }
  bool IsLoading() const { return (state_ & csLoading) != 0; }
  bool IsDestroying() const { return (state_ & csDestroying) != 0; }
  bool IsDesigning() const { return (state_ & csDesigning) != 0; }

  int ComponentCount() const { return static_cast<int>(components_.size()); }
  TComponent* Components(int index) const {
    return components_.at(static_cast<std::size_t>(index));
  }
  TComponent* FindComponent(const std::string& name) const;

  // The loading bracket: BeginLoading marks this component as loading, so
  // that setters store values without side effects; EndLoading calls
  // Loaded() on every owned component (in creation order, depth first) and
  // then on this one.
  void BeginLoading();
  void EndLoading();

  // Asks `component` to be told (Notification with opRemove) when this one
  // is destroyed, even though it does not own it.
  void FreeNotification(TComponent* component);
  void RemoveFreeNotification(TComponent* component);

  // Makes `component` owned by this one; it is removed from its old owner.
  void InsertComponent(TComponent* component);
  void RemoveComponent(TComponent* component);

 protected:
  // Called once the whole of the window's settings has been applied.
  virtual void Loaded();
  virtual void Notification(TComponent* component, TOperation operation);
  // Marks destruction; derived destructors that need the flag earlier call it.
  void Destroying();
  void SetDesigning(bool designing);

 private:
  void Insert(TComponent* component);
  void Remove(TComponent* component);

  TComponent* owner_ = nullptr;
  std::string name_;
  std::intptr_t tag_ = 0;
  std::uint32_t state_ = 0;
  std::vector<TComponent*> components_;
  std::vector<TComponent*> free_notifies_;
};
