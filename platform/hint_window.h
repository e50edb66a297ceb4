#pragma once
// The hint window: a small borderless top-level window showing one text on a coloured ground,
// that takes neither the focus nor activation (the scroll hint, tool tips).
#include <memory>

#include "platform/classes.h"
#include "platform/colors.h"
#include "platform/graphics_types.h"

class THintWindow : public TComponent {
public:
  explicit THintWindow(TComponent* AOwner);
  ~THintWindow() override;

  TColor Color() const { return color_; }
  void SetColor(TColor Value);
  // The rectangle, at (0, 0), that shows Hint wrapped at MaxWidth pixels.
  TRect CalcHintRect(int MaxWidth, const AnsiString& Hint) const;
  // Shows Hint in Rect (screen coordinates).
  void ActivateHint(const TRect& Rect, const AnsiString& Hint);
  // Hides the window.
  void ReleaseHandle();
  bool Showing() const;
  const AnsiString& Caption() const { return caption_; }
  // Where the window stands, in screen coordinates.
  TRect BoundsRect() const { return bounds_; }
  // Paints what is invalid now.
  void Update();

private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
  TColor color_ = clInfoBk;
  AnsiString caption_;
  TRect bounds_{0, 0, 0, 0};
};
