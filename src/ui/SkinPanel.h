// What both skinned panels share: skin images used in place from the resources, the skin
// palette, the window shape, hot areas with hit testing, and the press / drag / release
// protocol with mouse capture and auto-repeat. Each panel keeps one SkinPanel and feeds it
// its mouse, timer and palette messages; the panel's own unit draws its read-outs and acts
// on the commands.
#pragma once

#include <windows.h>

#include <span>
#include <vector>

// A bitmap resource as stored: BITMAPINFOHEADER, colour table, bottom-up rows padded to
// four bytes. It points into the loaded resource and is never copied or freed.
struct SkinImage {
  const BITMAPINFO* Info = nullptr;
  const BYTE* Pixels = nullptr;
  int Width = 0;
  int Height = 0;
  int Colours = 0;  // entries in the colour table
};

// A rectangle of a skin, as x, y, width, height in panel client coordinates (top-down).
struct SkinRect {
  int X, Y, Width, Height;
};

// One row of a panel's hot-area table, in hit-test order.
struct HotArea {
  int Id;                          // also the command sent on release
  std::span<const POINT> Polygon;  // client coordinates
  std::span<const SkinRect> PressedLook;
  UINT_PTR RepeatTimer = 0;  // 0: the area does not repeat
  UINT RepeatPeriod = 0;     // ms
  int LitFlag = -1;          // index into SkinPanel::LitFlags, -1: none
};

// The two panels differ in a few points of the protocol.
enum class PanelStyle {
  Main,   // a move off the held area cancels it; lit areas cannot be pressed
  Tuner,  // no cancel; a release acts only at the press pixel; repeat keeps a flag
};

struct SkinPanel {
  PanelStyle Style = PanelStyle::Main;
  std::span<const HotArea> Table;
  std::vector<HRGN> Regions;  // one per table row, same order
  SkinImage Normal;
  SkinImage Pressed;
  SkinImage Lit;
  HPALETTE Palette = nullptr;
  std::vector<int> LitFlags;  // main panel only

  int PressedId = -1;  // -1 idle, 0 dragging, > 0 the held hot area
  POINT PressPoint = {0, 0};
  bool RepeatActive = false;  // tuner panel: a repeating area is held
};

// The 20 static colours every skin palette ends with, as red, green, blue.
inline constexpr BYTE kStaticColours[20][3] = {
    {0, 0, 0},       {128, 0, 0},     {0, 128, 0},     {128, 128, 0},   {0, 0, 128},
    {128, 0, 128},   {0, 128, 128},   {192, 192, 192}, {192, 220, 192}, {166, 202, 240},
    {255, 251, 240}, {160, 160, 164}, {128, 128, 128}, {255, 0, 0},     {0, 255, 0},
    {255, 255, 0},   {0, 0, 255},     {255, 0, 255},   {0, 255, 255},   {255, 255, 255},
};

SkinImage LoadSkinImage(int resourceId);
// Entries 0..N-1 from the image's colour table with `flags`, then the 20 static colours.
HPALETTE BuildSkinPalette(const SkinImage& normal, BYTE flags);
// Copies a rectangle of the image 1:1 to the same place on the device context.
void DrawSkinRect(HDC dc, const SkinImage& image, int x, int y, int width, int height);
inline void DrawSkinRect(HDC dc, const SkinImage& image, const SkinRect& r) {
  DrawSkinRect(dc, image, r.X, r.Y, r.Width, r.Height);
}
// Draws a whole small image (a mark with its own colour table) at x, y.
void DrawSkinImage(HDC dc, const SkinImage& image, int x, int y);

void SetPanelShape(HWND panel, std::span<const POINT> points);
HRGN CreateHotArea(std::span<const POINT> points);
// The face at a character height of `pixelHeight` pixels, created against an identity
// mapping. The caller selects it, draws, selects the old font back and deletes it.
HFONT CreatePixelFont(HDC dc, const char* face, int pixelHeight);
// Repaints the panel at once: its paint handler draws through a DC of its own.
void ForceRepaint(HWND panel);

// Shape, hot areas, skin images and palette; the press state to idle. Regions left from an
// earlier window of the same panel are deleted first.
void InitSkinPanel(HWND panel, SkinPanel& skin, std::span<const POINT> shape, int normalId,
                   int pressedId, int litId, BYTE paletteFlags);
void ReleaseSkinPalette(SkinPanel& skin);

// The id of the first hot area in table order under a client point, or 0.
int HitTest(HWND panel, const SkinPanel& skin, POINT point);
const HotArea* FindHotArea(const SkinPanel& skin, int id);
bool IsLit(const SkinPanel& skin, const HotArea& area);

// Mouse messages. `afterCommand` is the panel's step after a released command: the main
// panel's runs before the second repaint, the tuner panel's after it, and it runs for
// every release of a held area, also when no command was sent.
void PanelPress(HWND panel, SkinPanel& skin, LPARAM lParam);
void PanelMouseMove(HWND panel, SkinPanel& skin, LPARAM lParam);
using AfterCommandStep = void (*)(HWND panel, int id);
void PanelRelease(HWND panel, SkinPanel& skin, LPARAM lParam, AfterCommandStep afterCommand);
// An auto-repeat tick: sends the held area's command and returns true when `timer` is its
// repeat timer. A repeat timer whose area is no longer held is stopped; false then, and for
// any other timer.
bool PanelRepeatTick(HWND panel, SkinPanel& skin, UINT_PTR timer);

// WM_QUERYNEWPALETTE and WM_PALETTECHANGED.
BOOL PanelQueryNewPalette(HWND panel, SkinPanel& skin);
void PanelPaletteChanged(HWND panel, WPARAM changedBy);

// The mouse and palette messages every panel handles the same way. True when `message` was
// one of them, with the dialog procedure's result in `result`.
bool HandleSkinPanelMessage(HWND panel, SkinPanel& skin, UINT message, WPARAM wParam, LPARAM lParam,
                            AfterCommandStep afterCommand, INT_PTR& result);
