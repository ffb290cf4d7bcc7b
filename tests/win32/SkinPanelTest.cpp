// The skinned panel mechanics on a test panel built from the tuner panel's empty template:
// hit testing, press / cancel / release with capture, drag, auto-repeat, palette, drawing.
#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "resource.h"
#include "ui/SkinPanel.h"

namespace {

// Two areas that share the edge x = 20, a repeating one and a lit one.
constexpr POINT kLeft[] = {{0, 0}, {20, 0}, {20, 20}, {0, 20}};
constexpr POINT kRight[] = {{20, 0}, {40, 0}, {40, 20}, {20, 20}};
constexpr POINT kRepeat[] = {{50, 0}, {70, 0}, {70, 20}, {50, 20}};
constexpr POINT kLitArea[] = {{80, 0}, {100, 0}, {100, 20}, {80, 20}};
constexpr SkinRect kLeftLook[] = {{0, 0, 20, 20}};
constexpr SkinRect kRepeatLook[] = {{50, 0, 20, 20}};
constexpr POINT kShape[] = {{0, 0}, {0, 200}, {200, 200}, {200, 0}};
constexpr UINT_PTR kRepeatTimer = 9;

const HotArea kTable[] = {
    {11, kLeft, kLeftLook},
    {12, kRight, {}},
    {90001, kRepeat, kRepeatLook, kRepeatTimer, 200},
    {14, kLitArea, {}, 0, 0, 0},
};

SkinPanel g_skin;
std::vector<WPARAM> g_commands;
std::vector<int> g_afterSteps;
int g_paints = 0;

void AfterStep(HWND, int id) {
  g_afterSteps.push_back(id);
}

INT_PTR CALLBACK TestPanelProc(HWND panel, UINT message, WPARAM wParam, LPARAM lParam) {
  if (INT_PTR result;
      HandleSkinPanelMessage(panel, g_skin, message, wParam, lParam, AfterStep, result))
    return result;
  switch (message) {
    case WM_INITDIALOG:
      // The logo stands in for a skin: any 8-bit bitmap resource will do here.
      InitSkinPanel(panel, g_skin, kShape, IDB_LOGO, IDB_LOGO, 0, PC_NOCOLLAPSE);
      MoveWindow(panel, 100, 100, 200, 200, FALSE);
      return TRUE;
    case WM_PAINT: {
      ++g_paints;
      PAINTSTRUCT ps;
      BeginPaint(panel, &ps);
      EndPaint(panel, &ps);
      return TRUE;
    }
    case WM_TIMER:
      PanelRepeatTick(panel, g_skin, wParam);
      return TRUE;
    case WM_COMMAND:
      g_commands.push_back(wParam);
      return TRUE;
  }
  return FALSE;
}

LPARAM At(int x, int y) {
  return MAKELPARAM(static_cast<WORD>(static_cast<short>(x)),
                    static_cast<WORD>(static_cast<short>(y)));
}

class SkinPanelTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g_skin = SkinPanel{};
    g_skin.Style = PanelStyle::Main;
    g_skin.Table = kTable;
    g_skin.LitFlags = {1};
    g_commands.clear();
    g_afterSteps.clear();
    panel_ = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_TUNER_PANEL),
                                nullptr, TestPanelProc, 0);
    ASSERT_NE(panel_, nullptr);
    ShowWindow(panel_, SW_SHOWNORMAL);
  }
  void TearDown() override {
    ReleaseCapture();
    DestroyWindow(panel_);
    ReleaseSkinPalette(g_skin);
  }
  void Send(UINT message, int x, int y) { SendMessageA(panel_, message, 0, At(x, y)); }
  HWND panel_ = nullptr;
};

TEST_F(SkinPanelTest, HitTestTakesTheFirstAreaInTableOrder) {
  EXPECT_EQ(HitTest(panel_, g_skin, POINT{5, 5}), 11);
  EXPECT_EQ(HitTest(panel_, g_skin, POINT{25, 5}), 12);
  // A polygon region holds its left and top edges, not its right and bottom ones.
  EXPECT_EQ(HitTest(panel_, g_skin, POINT{19, 5}), 11);
  EXPECT_EQ(HitTest(panel_, g_skin, POINT{20, 5}), 12);
  EXPECT_EQ(HitTest(panel_, g_skin, POINT{45, 5}), 0);
  EXPECT_EQ(HitTest(panel_, g_skin, POINT{-1, 5}), 0);    // outside the client area
  EXPECT_EQ(HitTest(panel_, g_skin, POINT{60, 250}), 0);  // below it
}

TEST_F(SkinPanelTest, OverlappingAreasGiveThePressToTheEarlierOne) {
  // Same table, the second area widened to overlap the first.
  static constexpr POINT kWide[] = {{10, 0}, {40, 0}, {40, 20}, {10, 20}};
  const HotArea table[] = {{11, kLeft, {}}, {12, kWide, {}}};
  g_skin.Table = table;
  for (HRGN r : g_skin.Regions) DeleteObject(r);
  g_skin.Regions = {CreateHotArea(kLeft), CreateHotArea(kWide)};
  EXPECT_EQ(HitTest(panel_, g_skin, POINT{15, 5}), 11);
  EXPECT_EQ(HitTest(panel_, g_skin, POINT{30, 5}), 12);
  g_skin.Table = kTable;
}

TEST_F(SkinPanelTest, PressAndReleaseSendTheCommandBetweenTwoRepaints) {
  Send(WM_LBUTTONDOWN, 5, 5);
  EXPECT_EQ(g_skin.PressedId, 11);
  EXPECT_EQ(GetCapture(), panel_);
  POINT screen = {5, 5};
  ClientToScreen(panel_, &screen);
  EXPECT_EQ(g_skin.PressPoint.x, screen.x);
  EXPECT_EQ(g_skin.PressPoint.y, screen.y);
  g_paints = 0;
  Send(WM_LBUTTONUP, 30, 30);  // the main style acts wherever the release happens
  EXPECT_EQ(g_commands, (std::vector<WPARAM>{11}));
  EXPECT_EQ(g_afterSteps, (std::vector<int>{11}));
  EXPECT_EQ(g_paints, 2);
  EXPECT_EQ(g_skin.PressedId, -1);
  EXPECT_EQ(GetCapture(), nullptr);
}

TEST_F(SkinPanelTest, PressOnALitAreaDoesNothingButCapture) {
  RECT before;
  GetWindowRect(panel_, &before);
  Send(WM_LBUTTONDOWN, 90, 5);
  EXPECT_EQ(g_skin.PressedId, -1);
  EXPECT_EQ(GetCapture(), panel_);
  Send(WM_MOUSEMOVE, 120, 40);  // no drag either
  Send(WM_LBUTTONUP, 120, 40);
  RECT after;
  GetWindowRect(panel_, &after);
  EXPECT_EQ(after.left, before.left);
  EXPECT_EQ(after.top, before.top);
  EXPECT_TRUE(g_commands.empty());
  EXPECT_TRUE(g_afterSteps.empty());
  EXPECT_EQ(GetCapture(), nullptr);
}

TEST_F(SkinPanelTest, MovingOffAHeldAreaCancelsItForGood) {
  Send(WM_LBUTTONDOWN, 5, 5);
  Send(WM_MOUSEMOVE, 10, 10);  // still inside
  EXPECT_EQ(g_skin.PressedId, 11);
  g_paints = 0;
  Send(WM_MOUSEMOVE, 25, 5);
  EXPECT_EQ(g_skin.PressedId, -1);
  EXPECT_EQ(g_paints, 1);    // the normal look came back at once
  Send(WM_MOUSEMOVE, 5, 5);  // back over the area: no new press
  EXPECT_EQ(g_skin.PressedId, -1);
  Send(WM_LBUTTONUP, 5, 5);
  EXPECT_TRUE(g_commands.empty());
  EXPECT_EQ(GetCapture(), nullptr);
}

TEST_F(SkinPanelTest, FiveRepeatTicksThenReleaseActSixTimes) {
  Send(WM_LBUTTONDOWN, 60, 5);
  ASSERT_EQ(g_skin.PressedId, 90001);
  for (int i = 0; i < 5; ++i) SendMessageA(panel_, WM_TIMER, kRepeatTimer, 0);
  Send(WM_LBUTTONUP, 60, 5);
  ASSERT_EQ(g_commands.size(), 6u);
  for (WPARAM c : g_commands) EXPECT_EQ(c, 90001u);  // the whole id, above 65535
  // The repeat timer is gone: a late tick sends nothing.
  SendMessageA(panel_, WM_TIMER, kRepeatTimer, 0);
  EXPECT_EQ(g_commands.size(), 6u);
}

TEST_F(SkinPanelTest, CancelledRepeatActsOnlyForTheTicksBeforeIt) {
  Send(WM_LBUTTONDOWN, 60, 5);
  SendMessageA(panel_, WM_TIMER, kRepeatTimer, 0);
  SendMessageA(panel_, WM_TIMER, kRepeatTimer, 0);
  Send(WM_MOUSEMOVE, 75, 5);
  SendMessageA(panel_, WM_TIMER, kRepeatTimer, 0);
  Send(WM_LBUTTONUP, 60, 5);
  EXPECT_EQ(g_commands.size(), 2u);
}

TEST_F(SkinPanelTest, TunerStyleActsOnlyAtThePressPixel) {
  g_skin.Style = PanelStyle::Tuner;
  Send(WM_LBUTTONDOWN, 5, 5);
  Send(WM_MOUSEMOVE, 30, 5);  // no cancel on the tuner panel
  EXPECT_EQ(g_skin.PressedId, 11);
  Send(WM_LBUTTONUP, 6, 5);
  EXPECT_TRUE(g_commands.empty());
  EXPECT_EQ(g_afterSteps, (std::vector<int>{11}));  // its step runs all the same

  Send(WM_LBUTTONDOWN, 5, 5);
  Send(WM_LBUTTONUP, 5, 5);
  EXPECT_EQ(g_commands, (std::vector<WPARAM>{11}));

  // The lit flag means nothing on the tuner panel.
  Send(WM_LBUTTONDOWN, 90, 5);
  EXPECT_EQ(g_skin.PressedId, 14);
  Send(WM_LBUTTONUP, 90, 5);

  Send(WM_LBUTTONDOWN, 60, 5);
  EXPECT_TRUE(g_skin.RepeatActive);
  Send(WM_LBUTTONUP, 60, 5);
  EXPECT_FALSE(g_skin.RepeatActive);
}

TEST_F(SkinPanelTest, DragFollowsThePointerBySignedDeltas) {
  RECT start;
  GetWindowRect(panel_, &start);
  Send(WM_LBUTTONDOWN, 150, 150);
  ASSERT_EQ(g_skin.PressedId, 0);
  Send(WM_MOUSEMOVE, 160, 157);
  RECT r;
  GetWindowRect(panel_, &r);
  EXPECT_EQ(r.left, start.left + 10);
  EXPECT_EQ(r.top, start.top + 7);
  // The pointer runs ahead of the panel, left of and above it: negative client points.
  // The panel has moved by (10, 7), so the same screen point is 10, 7 nearer its origin.
  Send(WM_MOUSEMOVE, -30 - 10, -20 - 7);
  GetWindowRect(panel_, &r);
  EXPECT_EQ(r.left, start.left + 10 - 190);
  EXPECT_EQ(r.top, start.top + 7 - 177);
  EXPECT_EQ(r.right - r.left, start.right - start.left);
  Send(WM_LBUTTONUP, 0, 0);
  EXPECT_EQ(g_skin.PressedId, -1);
  EXPECT_TRUE(g_commands.empty());
}

TEST_F(SkinPanelTest, PaletteHoldsTheImageColoursThenTheStaticOnes) {
  const int n = g_skin.Normal.Colours;
  ASSERT_GT(n, 0);
  std::vector<PALETTEENTRY> entries(n + 21);
  ASSERT_EQ(GetPaletteEntries(g_skin.Palette, 0, n + 21, entries.data()),
            static_cast<UINT>(n + 20));
  for (int i = 0; i < n; ++i) {
    const RGBQUAD& q = g_skin.Normal.Info->bmiColors[i];
    EXPECT_EQ(entries[i].peRed, q.rgbRed) << i;
    EXPECT_EQ(entries[i].peGreen, q.rgbGreen) << i;
    EXPECT_EQ(entries[i].peBlue, q.rgbBlue) << i;
    EXPECT_EQ(entries[i].peFlags, PC_NOCOLLAPSE) << i;
  }
  EXPECT_EQ(entries[n].peRed, 0);
  EXPECT_EQ(entries[n + 9].peRed, 166);
  EXPECT_EQ(entries[n + 9].peGreen, 202);
  EXPECT_EQ(entries[n + 9].peBlue, 240);
  EXPECT_EQ(entries[n + 19].peBlue, 255);
  EXPECT_EQ(entries[n + 19].peFlags, 0);
}

// Reads the pixel at x, y of an 8-bit bottom-up skin image as a colour.
COLORREF ImagePixel(const SkinImage& image, int x, int y) {
  const int stride = (image.Width + 3) & ~3;
  const BYTE index = image.Pixels[(image.Height - 1 - y) * stride + x];
  const RGBQUAD& q = image.Info->bmiColors[index];
  return RGB(q.rgbRed, q.rgbGreen, q.rgbBlue);
}

TEST_F(SkinPanelTest, DrawSkinRectCopiesTheSamePlaceTopDown) {
  const SkinImage& image = g_skin.Normal;
  ASSERT_EQ(image.Info->bmiHeader.biBitCount, 8);
  BITMAPINFO bi = {};
  bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  bi.bmiHeader.biWidth = image.Width;
  bi.bmiHeader.biHeight = -image.Height;
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HDC dc = CreateCompatibleDC(nullptr);
  HBITMAP target = CreateDIBSection(dc, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(dc, target);
  PatBlt(dc, 0, 0, image.Width, image.Height, BLACKNESS);
  // A rectangle off the centre, so a flipped or shifted copy would show.
  const SkinRect r = {137, 27, 144, 29};
  DrawSkinRect(dc, image, r);
  GdiFlush();
  const auto* px = static_cast<const DWORD*>(bits);
  int differing = 0;
  for (int y = r.Y; y < r.Y + r.Height; ++y) {
    for (int x = r.X; x < r.X + r.Width; ++x) {
      const COLORREF want = ImagePixel(image, x, y);
      const DWORD got = px[y * image.Width + x];
      const COLORREF gotRgb = RGB((got >> 16) & 0xFF, (got >> 8) & 0xFF, got & 0xFF);
      differing += gotRgb != want;
    }
  }
  EXPECT_EQ(differing, 0);
  EXPECT_EQ(px[(r.Y - 1) * image.Width + r.X], 0u);  // nothing outside the rectangle
  EXPECT_EQ(px[r.Y * image.Width + r.X + r.Width], 0u);
  SelectObject(dc, old);
  DeleteObject(target);
  DeleteDC(dc);
}

TEST_F(SkinPanelTest, PixelFontHasTheCharacterHeightAskedFor) {
  HDC dc = GetDC(panel_);
  for (int height : {9, 10, 11, 20, 24}) {
    HFONT font = CreatePixelFont(dc, "Times New Roman", height);
    ASSERT_NE(font, nullptr);
    HGDIOBJ old = SelectObject(dc, font);
    TEXTMETRICA tm;
    GetTextMetricsA(dc, &tm);
    EXPECT_NEAR(tm.tmHeight - tm.tmInternalLeading, height, 1) << height;
    SelectObject(dc, old);
    DeleteObject(font);
  }
  // The device context comes back as it was.
  EXPECT_EQ(GetGraphicsMode(dc), GM_COMPATIBLE);
  ReleaseDC(panel_, dc);
}

TEST_F(SkinPanelTest, PaletteChangedByAnotherWindowRepaints) {
  g_paints = 0;
  SendMessageA(panel_, WM_PALETTECHANGED, reinterpret_cast<WPARAM>(panel_), 0);
  EXPECT_EQ(g_paints, 0);
  SendMessageA(panel_, WM_PALETTECHANGED, reinterpret_cast<WPARAM>(GetDesktopWindow()), 0);
  EXPECT_EQ(g_paints, 1);
}

TEST_F(SkinPanelTest, ShowingAPanelAgainRebuildsItsAreas) {
  const std::vector<HRGN> first = g_skin.Regions;
  DestroyWindow(panel_);
  panel_ = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_TUNER_PANEL), nullptr,
                              TestPanelProc, 0);
  ASSERT_EQ(g_skin.Regions.size(), first.size());
  // The earlier regions were deleted, not left behind.
  for (HRGN r : first) EXPECT_EQ(GetObjectType(r), 0u);
  EXPECT_EQ(HitTest(panel_, g_skin, POINT{5, 5}), 11);
}

}  // namespace
