#include "display/OverlayGeometry.h"

namespace {

// Columns cut at each side of a full 720-pixel field.
constexpr uint32_t kCropColumns = 8;

}  // namespace

Rect AlignRect(Rect rect, bool boundaryRule, uint32_t boundary, bool sizeRule, uint32_t size) {
  uint32_t left = static_cast<uint32_t>(rect.left);
  uint32_t right = static_cast<uint32_t>(rect.right);
  if (boundaryRule && boundary != 0) {
    const uint32_t raised = left + boundary - 1;
    left = raised - raised % boundary;
  }
  if (sizeRule && size != 0) {
    const uint32_t width = right - left;
    right = left + (width - width % size);
  }
  rect.left = static_cast<int32_t>(left);
  rect.right = static_cast<int32_t>(right);
  return rect;
}

Rect AlignSourceRule(Rect rect, uint32_t capsFlags, uint32_t boundarySrc, uint32_t sizeSrc) {
  return AlignRect(rect, (capsFlags & kAlignBoundarySrc) != 0, boundarySrc,
                   (capsFlags & kAlignSizeSrc) != 0, sizeSrc);
}

Rect AlignDestRule(Rect rect, uint32_t capsFlags, uint32_t boundaryDest, uint32_t sizeDest) {
  return AlignRect(rect, (capsFlags & kAlignBoundaryDest) != 0, boundaryDest,
                   (capsFlags & kAlignSizeDest) != 0, sizeDest);
}

bool MapDestRectToSource(Rect& source, const Rect& fullSource, const Rect& dest,
                         const Rect& client) {
  const auto u = [](int32_t v) { return static_cast<uint32_t>(v); };
  const uint32_t sw = u(fullSource.right) - u(fullSource.left);
  const uint32_t sh = u(fullSource.bottom) - u(fullSource.top);
  const uint32_t ww = u(client.right) - u(client.left);
  const uint32_t wh = u(client.bottom) - u(client.top);
  if (ww == 0 || wh == 0) return false;
  source.left =
      static_cast<int32_t>((u(dest.left) - u(client.left)) * sw / ww + u(fullSource.left));
  source.right =
      static_cast<int32_t>((u(dest.right) - u(client.left)) * sw / ww + u(fullSource.left));
  source.top = static_cast<int32_t>((u(dest.top) - u(client.top)) * sh / wh + u(fullSource.top));
  source.bottom =
      static_cast<int32_t>((u(dest.bottom) - u(client.top)) * sh / wh + u(fullSource.top));
  return true;
}

PortGeometry ComputePortGeometry(const PortGeometry& previous, uint32_t level, int32_t clientWidth,
                                 int32_t clientHeight, int32_t videoStandard,
                                 uint32_t fieldHeight) {
  PortGeometry g = previous;
  g.Prescale = false;
  g.PrescaleWidth = kFieldWidth >> level;
  // kCropColumns of every 720 columns, rounded up.
  g.LeftCrop = (kCropColumns * static_cast<uint32_t>(clientWidth) + kFieldWidth - 1) / kFieldWidth;

  if (IsStandard240Line(videoStandard)) {
    if (clientHeight <= static_cast<int32_t>(kPictureHeight240)) {
      // The port shrinks the field to the window, blanking included, so the overlay
      // never has to shrink vertically; the blanking shrinks in proportion.
      const uint32_t h = static_cast<uint32_t>(clientHeight);
      g.TopCrop = (kBlankingLines240 * h + kPictureHeight240 - 1) / kPictureHeight240;
      g.SourceBottom = h + g.TopCrop;
      g.PrescaleHeight = g.SourceBottom;
      g.Prescale = true;
    } else {
      g.TopCrop = kBlankingLines240;
      g.SourceBottom = fieldHeight;
      g.PrescaleHeight = fieldHeight;
    }
  } else if (IsValidVideoStandard(videoStandard)) {
    g.TopCrop = 0;
    if (clientHeight <= static_cast<int32_t>(kPictureHeight288)) {
      g.SourceBottom = static_cast<uint32_t>(clientHeight);
      g.PrescaleHeight = g.SourceBottom;
      g.Prescale = true;
    } else {
      g.SourceBottom = fieldHeight;
      g.PrescaleHeight = fieldHeight;
    }
  }
  // One line more in every group: the first line the port delivers is never shown.
  g.TopCrop += 1;
  if (level != 0) g.Prescale = true;
  return g;
}

Rect FullSourceRect(const PortGeometry& g) {
  return Rect{static_cast<int32_t>(g.LeftCrop), static_cast<int32_t>(g.TopCrop),
              static_cast<int32_t>(g.PrescaleWidth - g.LeftCrop),
              static_cast<int32_t>(g.SourceBottom)};
}

uint32_t ColorKeyForFormat(bool isRgb, uint32_t bitCount, uint32_t redMask, uint32_t greenMask,
                           uint32_t blueMask) {
  if (!isRgb) return 0;
  switch (bitCount) {
    case 8:
      return 253;  // a palette index
    case 16:
      if (redMask == 0xF800 && greenMask == 0x07E0 && blueMask == 0x001F) return 0xF81F;
      if (redMask == 0x7C00 && greenMask == 0x03E0 && blueMask == 0x001F) return 0x7C1F;
      return 0;
    case 24:
    case 32:
      return 0xFF00FF;
    default:
      return 0;
  }
}

int KeyAlwaysFromBandwidth(bool sourceType, uint32_t yInterpAndColorkey, uint32_t yInterpolate,
                           uint32_t colorkey) {
  if (sourceType) {
    return (yInterpAndColorkey < yInterpolate && yInterpAndColorkey < colorkey) ? 0 : 1;
  }
  return (yInterpAndColorkey > yInterpolate && yInterpAndColorkey > colorkey) ? 0 : 1;
}
