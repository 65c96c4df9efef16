#pragma once
// How the window's frames look: a plain one-pixel line around the frame, the title above it in
// the regular weight of the frame's font. The desktop's style draws everything else.
//
// The frame is drawn through PE_FrameGroupBox, so Fusion's frame picture is never loaded (the
// picture costs every image-format plug-in a look at start-up); the title is never drawn in a
// synthetic bold (the Chinese fonts have no bold face).

#include <QProxyStyle>

namespace qz {

class FrameStyle final : public QProxyStyle {
 public:
  FrameStyle();

  void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget) const override;
  void drawComplexControl(ComplexControl control, const QStyleOptionComplex* option,
                          QPainter* painter, const QWidget* widget) const override;
  [[nodiscard]] QRect subControlRect(ComplexControl control, const QStyleOptionComplex* option,
                                     SubControl sub, const QWidget* widget) const override;
};

// The one instance the window's frames share; the application owns it.
[[nodiscard]] QStyle* frameStyle();

}  // namespace qz
