#include "ui/SkinPanel.h"

#include <windowsx.h>

#include <cstring>

SkinImage LoadSkinImage(int resourceId) {
  SkinImage image;
  HMODULE module = GetModuleHandleA(nullptr);
  HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(resourceId), MAKEINTRESOURCEA(2));
  if (!found) return image;
  HGLOBAL loaded = LoadResource(module, found);
  const auto* info = static_cast<const BITMAPINFO*>(LockResource(loaded));
  if (!info) return image;
  const BITMAPINFOHEADER& h = info->bmiHeader;
  int colours = static_cast<int>(h.biClrUsed);
  if (colours == 0 && h.biBitCount <= 8) colours = 1 << h.biBitCount;
  image.Info = info;
  image.Pixels = reinterpret_cast<const BYTE*>(info) + h.biSize + 4 * colours;
  image.Width = h.biWidth;
  image.Height = h.biHeight < 0 ? -h.biHeight : h.biHeight;
  image.Colours = colours;
  return image;
}

HPALETTE BuildSkinPalette(const SkinImage& normal, BYTE flags) {
  const int count = normal.Colours + 20;
  std::vector<BYTE> storage(sizeof(LOGPALETTE) + count * sizeof(PALETTEENTRY));
  auto* palette = reinterpret_cast<LOGPALETTE*>(storage.data());
  palette->palVersion = 0x300;
  palette->palNumEntries = static_cast<WORD>(count);
  for (int i = 0; i < normal.Colours; ++i) {
    const RGBQUAD& q = normal.Info->bmiColors[i];
    palette->palPalEntry[i] = PALETTEENTRY{q.rgbRed, q.rgbGreen, q.rgbBlue, flags};
  }
  for (int i = 0; i < 20; ++i) {
    palette->palPalEntry[normal.Colours + i] =
        PALETTEENTRY{kStaticColours[i][0], kStaticColours[i][1], kStaticColours[i][2], 0};
  }
  return CreatePalette(palette);
}

void DrawSkinRect(HDC dc, const SkinImage& image, int x, int y, int width, int height) {
  if (!image.Info) return;
  // The source y of a bottom-up image counts from its bottom row.
  StretchDIBits(dc, x, y, width, height, x, image.Height - y - height, width, height, image.Pixels,
                image.Info, DIB_RGB_COLORS, SRCCOPY);
}

void DrawSkinImage(HDC dc, const SkinImage& image, int x, int y) {
  if (!image.Info) return;
  StretchDIBits(dc, x, y, image.Width, image.Height, 0, 0, image.Width, image.Height, image.Pixels,
                image.Info, DIB_RGB_COLORS, SRCCOPY);
}

void SetPanelShape(HWND panel, std::span<const POINT> points) {
  HRGN shape = CreatePolygonRgn(points.data(), static_cast<int>(points.size()), WINDING);
  SetWindowRgn(panel, shape, TRUE);  // the window owns the region from here on
}

HRGN CreateHotArea(std::span<const POINT> points) {
  return CreatePolygonRgn(points.data(), static_cast<int>(points.size()), WINDING);
}

HFONT CreatePixelFont(HDC dc, const char* face, int pixelHeight) {
  SaveDC(dc);
  SetGraphicsMode(dc, GM_ADVANCED);
  ModifyWorldTransform(dc, nullptr, MWT_IDENTITY);
  SetViewportOrgEx(dc, 0, 0, nullptr);
  SetWindowOrgEx(dc, 0, 0, nullptr);
  LOGFONTA lf = {};
  lf.lfHeight = -pixelHeight;
  lf.lfCharSet = ANSI_CHARSET;
  strncpy(lf.lfFaceName, face, LF_FACESIZE - 1);
  HFONT font = CreateFontIndirectA(&lf);
  RestoreDC(dc, -1);
  return font;
}

void ForceRepaint(HWND panel) {
  SendMessageA(panel, WM_PAINT, 0, 0);
}

void InitSkinPanel(HWND panel, SkinPanel& skin, std::span<const POINT> shape, int normalId,
                   int pressedId, int litId, BYTE paletteFlags) {
  skin.PressedId = -1;
  skin.RepeatActive = false;
  SetPanelShape(panel, shape);
  // A panel shown again builds its areas anew; the old ones would only pile up.
  for (HRGN region : skin.Regions) DeleteObject(region);
  skin.Regions.clear();
  for (const HotArea& area : skin.Table) skin.Regions.push_back(CreateHotArea(area.Polygon));
  skin.Normal = LoadSkinImage(normalId);
  skin.Pressed = LoadSkinImage(pressedId);
  skin.Lit = litId ? LoadSkinImage(litId) : SkinImage{};
  ReleaseSkinPalette(skin);
  skin.Palette = BuildSkinPalette(skin.Normal, paletteFlags);
}

void ReleaseSkinPalette(SkinPanel& skin) {
  if (!skin.Palette) return;
  UnrealizeObject(skin.Palette);
  DeleteObject(skin.Palette);
  skin.Palette = nullptr;
}

int HitTest(HWND panel, const SkinPanel& skin, POINT point) {
  RECT client;
  GetClientRect(panel, &client);
  if (!PtInRect(&client, point)) return 0;
  for (size_t i = 0; i < skin.Table.size() && i < skin.Regions.size(); ++i) {
    if (PtInRegion(skin.Regions[i], point.x, point.y)) return skin.Table[i].Id;
  }
  return 0;
}

const HotArea* FindHotArea(const SkinPanel& skin, int id) {
  for (const HotArea& area : skin.Table) {
    if (area.Id == id) return &area;
  }
  return nullptr;
}

static HRGN RegionOf(const SkinPanel& skin, int id) {
  for (size_t i = 0; i < skin.Table.size() && i < skin.Regions.size(); ++i) {
    if (skin.Table[i].Id == id) return skin.Regions[i];
  }
  return nullptr;
}

bool IsLit(const SkinPanel& skin, const HotArea& area) {
  if (skin.Style != PanelStyle::Main || area.LitFlag < 0) return false;
  const size_t flag = static_cast<size_t>(area.LitFlag);
  return flag < skin.LitFlags.size() && skin.LitFlags[flag] != 0;
}

static POINT PointOf(LPARAM lParam) {
  return POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
}

void PanelPress(HWND panel, SkinPanel& skin, LPARAM lParam) {
  HDC dc = GetDC(panel);
  HPALETTE oldPalette = SelectPalette(dc, skin.Palette, FALSE);
  skin.PressPoint = PointOf(lParam);
  RECT client;
  GetClientRect(panel, &client);
  if (!PtInRect(&client, skin.PressPoint)) {
    SelectPalette(dc, oldPalette, FALSE);
    ReleaseDC(panel, dc);
    return;
  }
  const int id = HitTest(panel, skin, skin.PressPoint);
  if (const HotArea* area = id ? FindHotArea(skin, id) : nullptr) {
    if (!IsLit(skin, *area)) {
      for (const SkinRect& r : area->PressedLook) DrawSkinRect(dc, skin.Pressed, r);
      skin.PressedId = id;
      if (area->RepeatTimer) {
        SetTimer(panel, area->RepeatTimer, area->RepeatPeriod, nullptr);
        if (skin.Style == PanelStyle::Tuner) skin.RepeatActive = true;
      }
    }
    // A lit area takes the capture below but nothing else: the press does nothing.
  } else {
    skin.PressedId = 0;
  }
  ClientToScreen(panel, &skin.PressPoint);
  SetCapture(panel);
  SelectPalette(dc, oldPalette, FALSE);
  ReleaseDC(panel, dc);
}

void PanelMouseMove(HWND panel, SkinPanel& skin, LPARAM lParam) {
  POINT point = PointOf(lParam);
  if (skin.PressedId == 0) {
    // Follow the pointer by deltas, so the panel keeps its offset to it.
    ClientToScreen(panel, &point);
    RECT r;
    GetWindowRect(panel, &r);
    MoveWindow(panel, r.left + point.x - skin.PressPoint.x, r.top + point.y - skin.PressPoint.y,
               r.right - r.left, r.bottom - r.top, TRUE);
    skin.PressPoint = point;
    return;
  }
  if (skin.PressedId > 0 && skin.Style == PanelStyle::Main) {
    HRGN region = RegionOf(skin, skin.PressedId);
    if (region && !PtInRegion(region, point.x, point.y)) {
      if (const HotArea* area = FindHotArea(skin, skin.PressedId); area && area->RepeatTimer)
        KillTimer(panel, area->RepeatTimer);
      ForceRepaint(panel);  // restores the normal look of the held area
      skin.PressedId = -1;
    }
  }
}

void PanelRelease(HWND panel, SkinPanel& skin, LPARAM lParam, AfterCommandStep afterCommand) {
  const int id = skin.PressedId;
  if (id > 0) {
    if (const HotArea* area = FindHotArea(skin, id); area && area->RepeatTimer)
      KillTimer(panel, area->RepeatTimer);
    if (skin.Style == PanelStyle::Tuner) skin.RepeatActive = false;
    ForceRepaint(panel);
    if (skin.Style == PanelStyle::Main) {
      SendMessageA(panel, WM_COMMAND, static_cast<WPARAM>(id), 0);
      if (afterCommand) afterCommand(panel, id);
      ForceRepaint(panel);
    } else {
      // A tuner button acts only when let go at the very pixel where it was pressed.
      POINT point = PointOf(lParam);
      ClientToScreen(panel, &point);
      if (point.x == skin.PressPoint.x && point.y == skin.PressPoint.y)
        SendMessageA(panel, WM_COMMAND, static_cast<WPARAM>(id), 0);
      ForceRepaint(panel);
      if (afterCommand) afterCommand(panel, id);
    }
  }
  skin.PressedId = -1;
  ReleaseCapture();
}

bool PanelRepeatTick(HWND panel, SkinPanel& skin, UINT_PTR timer) {
  const HotArea* area = skin.PressedId > 0 ? FindHotArea(skin, skin.PressedId) : nullptr;
  if (!area || area->RepeatTimer != timer) {
    // A repeat timer whose area is no longer held (a tick already queued at the release).
    for (const HotArea& a : skin.Table) {
      if (a.RepeatTimer == timer) KillTimer(panel, timer);
    }
    return false;
  }
  SendMessageA(panel, WM_COMMAND, static_cast<WPARAM>(skin.PressedId), 0);
  if (skin.Style == PanelStyle::Tuner) ForceRepaint(panel);
  return true;
}

BOOL PanelQueryNewPalette(HWND panel, SkinPanel& skin) {
  HDC dc = GetDC(panel);
  HPALETTE oldPalette = SelectPalette(dc, skin.Palette, FALSE);
  RealizePalette(dc);
  if (skin.Style == PanelStyle::Main) ForceRepaint(panel);
  SelectPalette(dc, oldPalette, FALSE);
  ReleaseDC(panel, dc);
  if (skin.Style == PanelStyle::Tuner) InvalidateRect(panel, nullptr, TRUE);
  return TRUE;
}

void PanelPaletteChanged(HWND panel, WPARAM changedBy) {
  if (reinterpret_cast<HWND>(changedBy) != panel) SendMessageA(panel, WM_QUERYNEWPALETTE, 0, 0);
}

bool HandleSkinPanelMessage(HWND panel, SkinPanel& skin, UINT message, WPARAM wParam, LPARAM lParam,
                            AfterCommandStep afterCommand, INT_PTR& result) {
  result = TRUE;
  switch (message) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:  // a quick second click is a press like any other
      PanelPress(panel, skin, lParam);
      return true;
    case WM_MOUSEMOVE:
      PanelMouseMove(panel, skin, lParam);
      return true;
    case WM_LBUTTONUP:
      PanelRelease(panel, skin, lParam, afterCommand);
      return true;
    case WM_QUERYNEWPALETTE:
      result = PanelQueryNewPalette(panel, skin);
      return true;
    case WM_PALETTECHANGED:
      PanelPaletteChanged(panel, wParam);
      return true;
  }
  return false;
}
