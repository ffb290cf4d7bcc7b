// The skin bitmaps as resources of the program: there under their ids, in the form the
// panels use in place, and drawn by the platform as the panels will draw them.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstdint>

#include "resource.h"

namespace {

const BITMAPINFOHEADER* FindSkin(int id, DWORD* size = nullptr) {
  HMODULE module = GetModuleHandleA(nullptr);
  HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(id), MAKEINTRESOURCEA(2));  // RT_BITMAP
  if (!found) return nullptr;
  if (size) *size = SizeofResource(module, found);
  return static_cast<const BITMAPINFOHEADER*>(LockResource(LoadResource(module, found)));
}

uint32_t Entries(const BITMAPINFOHEADER* h) {
  return h->biClrUsed ? h->biClrUsed : 1u << h->biBitCount;
}

TEST(SkinResources, EverySkinIsThereInItsForm) {
  struct Skin {
    int id, width, height, bits;
    uint32_t clrUsed;
  };
  const Skin skins[] = {
      {IDB_MAIN_PANEL_NORMAL, 420, 70, 8, 236},   {IDB_MAIN_PANEL_PRESSED, 420, 70, 8, 236},
      {IDB_MAIN_PANEL_LIT, 420, 70, 8, 236},      {IDB_TUNER_PANEL_NORMAL, 140, 304, 8, 65},
      {IDB_TUNER_PANEL_PRESSED, 140, 304, 8, 65}, {IDB_SOUND_ON, 16, 13, 4, 11},
      {IDB_SOUND_MUTED, 16, 13, 4, 11},           {IDB_CHANNEL_UNCHECKED, 20, 20, 4, 0},
      {IDB_CHANNEL_CHECKED, 20, 20, 4, 0}};
  for (const auto& s : skins) {
    SCOPED_TRACE(s.id);
    DWORD size = 0;
    const BITMAPINFOHEADER* h = FindSkin(s.id, &size);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(h->biSize, 40u);
    EXPECT_EQ(h->biWidth, s.width);
    EXPECT_EQ(h->biHeight, s.height);
    EXPECT_EQ(h->biBitCount, s.bits);
    EXPECT_EQ(h->biCompression, static_cast<DWORD>(BI_RGB));
    EXPECT_EQ(h->biClrUsed, s.clrUsed);
    const uint32_t stride = ((s.width * s.bits + 31) / 32) * 4;
    EXPECT_EQ(size, 40 + 4 * Entries(h) + stride * s.height);
  }
}

// A 32-bit top-down surface to draw on and read back.
class Surface {
 public:
  Surface(int width, int height) : width_(width) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    dc_ = CreateCompatibleDC(nullptr);
    bitmap_ =
        CreateDIBSection(dc_, &info, DIB_RGB_COLORS, reinterpret_cast<void**>(&bits_), nullptr, 0);
    old_ = SelectObject(dc_, bitmap_);
  }
  ~Surface() {
    SelectObject(dc_, old_);
    DeleteObject(bitmap_);
    DeleteDC(dc_);
  }
  Surface(const Surface&) = delete;
  Surface& operator=(const Surface&) = delete;

  HDC Dc() const { return dc_; }
  COLORREF At(int x, int y) const {
    GdiFlush();
    const uint32_t p = bits_[static_cast<size_t>(y) * width_ + x];
    return RGB((p >> 16) & 255, (p >> 8) & 255, p & 255);
  }

 private:
  int width_;
  HDC dc_ = nullptr;
  HBITMAP bitmap_ = nullptr;
  HGDIOBJ old_ = nullptr;
  uint32_t* bits_ = nullptr;
};

// Copies the image's rectangle (x, y, w, h), top-down, to (toX, toY), 1:1 from the
// resource memory as the panels do.
void DrawFromResource(HDC dc, const BITMAPINFOHEADER* image, int toX, int toY, int x, int y, int w,
                      int h) {
  const auto* pixels = reinterpret_cast<const uint8_t*>(image) + image->biSize + 4 * Entries(image);
  StretchDIBits(dc, toX, toY, w, h, x, image->biHeight - y - h, w, h, pixels,
                reinterpret_cast<const BITMAPINFO*>(image), DIB_RGB_COLORS, SRCCOPY);
}

int Brightest(COLORREF c) {
  return std::max({GetRValue(c), GetGValue(c), GetBValue(c)});
}
int Darkest(COLORREF c) {
  return std::min({GetRValue(c), GetGValue(c), GetBValue(c)});
}

TEST(SkinResources, MainPanelDrawsLightWithADarkReadOut) {
  const BITMAPINFOHEADER* normal = FindSkin(IDB_MAIN_PANEL_NORMAL);
  ASSERT_NE(normal, nullptr);
  Surface s(420, 70);
  DrawFromResource(s.Dc(), normal, 0, 0, 0, 0, 420, 70);
  for (int y = 27; y < 27 + 29; ++y)
    for (int x = 137; x < 137 + 144; ++x) ASSERT_LE(Brightest(s.At(x, y)), 40) << x << "," << y;
  // Body between the keys on the left, on the right and under the read-out.
  for (POINT p : {POINT{4, 30}, POINT{48, 40}, POINT{356, 60}, POINT{200, 63}})
    EXPECT_GE(Darkest(s.At(p.x, p.y)), 150) << p.x << "," << p.y;
}

// The sound marks are drawn opaque over the tuner's read-out; their background and the
// read-out must come out as one colour, and the mark itself as something else.
TEST(SkinResources, SoundMarksBlendIntoTheTunerReadOut) {
  const BITMAPINFOHEADER* tuner = FindSkin(IDB_TUNER_PANEL_NORMAL);
  ASSERT_NE(tuner, nullptr);
  for (int id : {IDB_SOUND_ON, IDB_SOUND_MUTED}) {
    SCOPED_TRACE(id);
    const BITMAPINFOHEADER* mark = FindSkin(id);
    ASSERT_NE(mark, nullptr);
    Surface s(140, 304);
    DrawFromResource(s.Dc(), tuner, 0, 0, 0, 0, 140, 304);
    const COLORREF field = s.At(19, 50);
    DrawFromResource(s.Dc(), mark, 20, 50, 0, 0, 16, 13);
    int marked = 0;
    for (int y = 50; y < 63; ++y)
      for (int x = 20; x < 36; ++x) marked += s.At(x, y) != field;
    EXPECT_EQ(s.At(20, 50), field);
    EXPECT_EQ(s.At(35, 62), field);
    EXPECT_GT(marked, 30);
    EXPECT_LE(Brightest(field), 40);
  }
}

TEST(SkinResources, ChannelBoxesLoadAsTwentyPixelBitmaps) {
  HINSTANCE module = GetModuleHandleA(nullptr);
  HBITMAP unchecked = LoadBitmapA(module, MAKEINTRESOURCEA(IDB_CHANNEL_UNCHECKED));
  HBITMAP checked = LoadBitmapA(module, MAKEINTRESOURCEA(IDB_CHANNEL_CHECKED));
  ASSERT_NE(unchecked, nullptr);
  ASSERT_NE(checked, nullptr);
  BITMAP info{};
  ASSERT_TRUE(GetObjectA(checked, sizeof info, &info));
  EXPECT_EQ(info.bmWidth, 20);
  EXPECT_EQ(info.bmHeight, 20);

  // The click zone is x 3..17 of the row, the bitmap sitting at x 1: the tick is inside it.
  Surface s(40, 20);
  HDC source = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(source, unchecked);
  BitBlt(s.Dc(), 0, 0, 20, 20, source, 0, 0, SRCCOPY);
  SelectObject(source, checked);
  BitBlt(s.Dc(), 20, 0, 20, 20, source, 0, 0, SRCCOPY);
  SelectObject(source, old);
  DeleteDC(source);
  int tick = 0;
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 20; ++x) {
      const bool differs = s.At(x, y) != s.At(20 + x, y);
      if (differs) {
        EXPECT_TRUE(x >= 2 && x <= 16 && y >= 2 && y <= 16) << x << "," << y;
        ++tick;
      }
    }
  EXPECT_GT(tick, 20);
  EXPECT_EQ(s.At(9, 9), RGB(255, 255, 255));  // an empty box is white inside
  DeleteObject(unchecked);
  DeleteObject(checked);
}

}  // namespace
