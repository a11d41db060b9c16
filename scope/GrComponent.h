// The non-visual base of the scope family: a component with a version label.
#pragma once

#include <string>

#include "toolkit/Classes.h"

inline constexpr const char* kGrVersion = "1.3";

class TGrComponent : public TComponent {
 public:
  explicit TGrComponent(TComponent* owner) : TComponent(owner), version_(kGrVersion) {}

  // Published for display only; stored settings never write it.
  const std::string& Version() const { return version_; }
  void SetVersion(const std::string&) {}

 private:
  std::string version_;
};
