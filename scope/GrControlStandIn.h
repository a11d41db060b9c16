// Temporary: the part of the toolkit's windowless control that the scope
// family uses, until the toolkit's controls are in.
#pragma once

#include "toolkit/Classes.h"
#include "toolkit/Graphics.h"

enum TControlStyleFlags : unsigned { csOpaque = 1, csSetCaption = 2 };
enum class TAlign { alNone, alTop, alBottom, alLeft, alRight, alClient, alCustom };

class TGraphicControl : public TComponent {
 public:
  explicit TGraphicControl(TComponent* owner) : TComponent(owner) {}
  int Left() const { return left_; }
  int Top() const { return top_; }
  int Width() const { return width_; }
  int Height() const { return height_; }
  virtual void SetBounds(int l, int t, int w, int h) {
    left_ = l;
    top_ = t;
    width_ = w;
    height_ = h;
  }
  TColor Color() const { return color_; }
  void SetColor(TColor c) {
    if (c == color_) return;
    color_ = c;
    Invalidate();
  }
  bool ParentColor() const { return parent_color_; }
  void SetParentColor(bool v) { parent_color_ = v; }
  TCanvas& Canvas() { return canvas_; }
  unsigned ControlStyle() const { return style_; }
  void SetControlStyle(unsigned s) { style_ = s; }
  bool AutoSize() const { return false; }
  TAlign Align() const { return align_; }
  void SetAlign(TAlign a) { align_ = a; }
  virtual void Invalidate() {}
  virtual void Repaint() {}

 protected:
  virtual void Paint() {}

 private:
  int left_ = 0, top_ = 0, width_ = 0, height_ = 0;
  TColor color_ = clBtnFace;
  bool parent_color_ = true;
  unsigned style_ = csSetCaption;
  TAlign align_ = TAlign::alNone;
  TCanvas canvas_;
};
