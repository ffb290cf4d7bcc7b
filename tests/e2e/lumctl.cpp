// lumctl: drives a running lumetra.exe from outside for the end-to-end scripts.
//
// Results go to stdout, diagnostics to stderr. Exit codes: 0 success, 1 failure or
// timeout, 2 usage error. Numbers may be decimal or 0x-prefixed hex.
#include <windows.h>

#include <cctype>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr DWORD kPollMs = 20;
constexpr DWORD kCloseTimeoutMs = 5000;
constexpr int kMsgBoxTextId = 0xFFFF;
constexpr int kMsgBoxIconId = 0x0014;

const char kUsage[] =
    "usage: lumctl wait-window <window> <timeout_ms>\n"
    "       lumctl no-window <class> <duration_ms>\n"
    "       lumctl wait-gone <class> <timeout_ms>\n"
    "       lumctl wait-capture <window> <timeout_ms>   (the window holds the mouse capture)\n"
    "       lumctl command <class> <id>\n"
    "       lumctl commands <class> <interval_ms> <count> <id>...\n"
    "       lumctl move <class> <x> <y>\n"
    "       lumctl minimize <class> | restore <class> | activate <class>\n"
    "       lumctl cover <x> <y> <w> <h> <ms>\n"
    "       lumctl key <class> <vk> [ctrl]\n"
    "       lumctl msgbox <caption> <timeout_ms>\n"
    "       lumctl count-msgbox <caption> <duration_ms>\n"
    "       lumctl item <dialog title> <control id>   (0: the dialog's client area)\n"
    "<window>, <class>: a window class, or <class>|<title>\n"
    "       lumctl point <title> <control id> [<x> <y>]\n"
    "<vk>: a number, a letter or digit, or F1..F12, RETURN, ESCAPE, ADD, SUBTRACT,\n"
    "NUMPAD0..NUMPAD9, SPACE, TAB, LEFT, RIGHT, UP, DOWN\n"
    "point: the screen position, as \"x y\", of a control of the visible window with that\n"
    "title (id 0: the window itself): its centre, or its client point (x, y), a negative\n"
    "x counting from the right edge. Waits up to 5 s for the window.\n";

int Fail(const char* format, ...) {
  std::va_list args;
  va_start(args, format);
  std::fputs("lumctl: ", stderr);
  std::vfprintf(stderr, format, args);
  std::fputc('\n', stderr);
  va_end(args);
  return 1;
}

bool ParseNumber(const char* text, unsigned long max, unsigned long& value) {
  char* end = nullptr;
  if (text[0] == '-') return false;
  value = std::strtoul(text, &end, 0);
  return end != text && *end == '\0' && value <= max;
}

bool ParseVirtualKey(const char* text, unsigned long& vk) {
  struct Named {
    const char* name;
    unsigned long vk;
  };
  static const Named kNames[] = {
      {"RETURN", VK_RETURN}, {"ENTER", VK_RETURN},      {"ESCAPE", VK_ESCAPE}, {"ESC", VK_ESCAPE},
      {"ADD", VK_ADD},       {"SUBTRACT", VK_SUBTRACT}, {"SPACE", VK_SPACE},   {"TAB", VK_TAB},
      {"LEFT", VK_LEFT},     {"RIGHT", VK_RIGHT},       {"UP", VK_UP},         {"DOWN", VK_DOWN},
  };
  for (const Named& n : kNames) {
    if (lstrcmpiA(text, n.name) == 0) {
      vk = n.vk;
      return true;
    }
  }
  const unsigned char first = static_cast<unsigned char>(text[0]);
  unsigned long f = 0;
  if (std::toupper(first) == 'F' && std::isdigit(static_cast<unsigned char>(text[1])) &&
      ParseNumber(text + 1, 24, f) && f >= 1) {
    vk = VK_F1 + f - 1;
    return true;
  }
  if (_strnicmp(text, "NUMPAD", 6) == 0 && std::isdigit(static_cast<unsigned char>(text[6])) &&
      !text[7]) {
    vk = VK_NUMPAD0 + (text[6] - '0');
    return true;
  }
  if (first && !text[1] && std::isalnum(first)) {
    vk = static_cast<unsigned long>(std::toupper(first));  // 'A'..'Z', '0'..'9' are their VKs
    return true;
  }
  return ParseNumber(text, 0xFE, vk) && vk > 0;
}

unsigned long long HandleValue(HWND window) {
  return static_cast<unsigned long long>(reinterpret_cast<std::uintptr_t>(window));
}

// Polls until done() holds or timeout_ms passes; done() is tried once more at the end so a
// zero timeout still looks once.
template <typename Pred>
bool PollUntil(DWORD timeout_ms, Pred done) {
  const ULONGLONG deadline = GetTickCount64() + timeout_ms;
  for (;;) {
    if (done()) return true;
    if (GetTickCount64() >= deadline) return false;
    Sleep(kPollMs);
  }
}

// A message box: a visible top-level dialog with the caption and the text control that the
// system's message box template gives it. Other dialogs with the same title are ignored.
HWND FindMessageBox(const std::string& caption) {
  struct Search {
    const std::string* caption;
    HWND found;
  } search{&caption, nullptr};
  EnumWindows(
      [](HWND window, LPARAM param) CALLBACK -> BOOL {
        auto* s = reinterpret_cast<Search*>(param);
        char cls[16] = {}, title[512] = {};
        GetClassNameA(window, cls, sizeof cls);
        if (std::strcmp(cls, "#32770") != 0 || !IsWindowVisible(window)) return TRUE;
        GetWindowTextA(window, title, sizeof title);
        if (*s->caption != title || !GetDlgItem(window, kMsgBoxTextId)) return TRUE;
        s->found = window;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

// A visible top-level dialog of that title.
HWND FindDialog(const std::string& title) {
  struct Search {
    const std::string* title;
    HWND found;
  } search{&title, nullptr};
  EnumWindows(
      [](HWND window, LPARAM param) CALLBACK -> BOOL {
        auto* s = reinterpret_cast<Search*>(param);
        char cls[16] = {}, text[512] = {};
        GetClassNameA(window, cls, sizeof cls);
        if (std::strcmp(cls, "#32770") != 0 || !IsWindowVisible(window)) return TRUE;
        GetWindowTextA(window, text, sizeof text);
        if (*s->title != text) return TRUE;
        s->found = window;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

// One line per box: control characters are escaped, backslashes are not, so file paths in
// the text read as they are.
std::string Escaped(const char* text) {
  std::string out;
  for (; *text; ++text) {
    switch (*text) {
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        out += *text;
    }
  }
  return out;
}

// The static control that shows the box's icon: id 0x14 on Windows; other implementations
// use another id, so fall back to any SS_ICON static.
HWND FindIconControl(HWND box) {
  HWND icon = GetDlgItem(box, kMsgBoxIconId);
  if (icon && (GetWindowLongA(icon, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) return icon;
  for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    char cls[16] = {};
    GetClassNameA(child, cls, sizeof cls);
    if (lstrcmpiA(cls, "Static") == 0 &&
        (GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) {
      return child;
    }
  }
  return nullptr;
}

// Pixels of a width x height picture that paint() draws into a memory DC: 32 bits each,
// top row first.
template <typename Paint>
std::string Pixels(int width, int height, Paint paint) {
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  std::string pixels;
  void* bits = nullptr;
  HDC screen = GetDC(nullptr);
  HDC mem = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (mem && bitmap) {
    HGDIOBJ old = SelectObject(mem, bitmap);
    if (paint(mem, screen)) {
      GdiFlush();
      pixels.assign(static_cast<const char*>(bits), static_cast<size_t>(width) * height * 4);
    }
    SelectObject(mem, old);
  }
  if (bitmap) DeleteObject(bitmap);
  if (mem) DeleteDC(mem);
  ReleaseDC(nullptr, screen);
  return pixels;
}

// Icon handles are private to each process under Wine, so compare pictures instead: the
// control as it is on the screen against each standard icon drawn at the same size on the
// same background. "present" when none matches, e.g. while the box is covered.
const char* IconName(HWND box) {
  HWND control = FindIconControl(box);
  DWORD_PTR shown = 0;
  if (!control || !IsWindowVisible(control) ||
      !SendMessageTimeoutA(control, STM_GETICON, 0, 0, SMTO_ABORTIFHUNG, 1000, &shown) || !shown) {
    return "none";
  }
  RECT rect;
  GetWindowRect(control, &rect);
  const int width = rect.right - rect.left, height = rect.bottom - rect.top;
  if (width <= 0 || height <= 0 || width > 256 || height > 256) return "present";

  static const struct {
    LPCSTR id;
    const char* name;
  } kIcons[] = {{IDI_HAND, "hand"},
                {IDI_EXCLAMATION, "exclamation"},
                {IDI_ASTERISK, "information"},
                {IDI_QUESTION, "question"}};
  for (int attempt = 0; attempt < 10; ++attempt, Sleep(100)) {  // the box may not be painted
    const std::string seen = Pixels(width, height, [&](HDC mem, HDC screen) {
      return BitBlt(mem, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY);
    });
    if (seen.empty()) return "present";
    // The standard icons leave their corners transparent.
    const auto* corner = reinterpret_cast<const BYTE*>(seen.data());
    const COLORREF background = RGB(corner[2], corner[1], corner[0]);
    for (const auto& icon : kIcons) {
      const std::string drawn = Pixels(width, height, [&](HDC mem, HDC) {
        RECT all = {0, 0, width, height};
        HBRUSH brush = CreateSolidBrush(background);
        FillRect(mem, &all, brush);
        DeleteObject(brush);
        return DrawIconEx(mem, 0, 0, LoadIconA(nullptr, icon.id), width, height, 0, nullptr,
                          DI_NORMAL);
      });
      size_t differing = 0;
      for (size_t i = 0; i + 3 < seen.size() && drawn.size() == seen.size(); i += 4) {
        differing += std::memcmp(&seen[i], &drawn[i], 3) != 0;
      }
      if (drawn.size() == seen.size() && differing * 50 < seen.size() / 4) return icon.name;
    }
  }
  return "present";
}

// Presses OK and waits for the box to close, so the next look cannot find it again.
bool PressOk(HWND box) {
  PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
  if (PollUntil(kCloseTimeoutMs, [&] { return !IsWindow(box); })) return true;
  Fail("message box 0x%llx did not close on OK", HandleValue(box));
  return false;
}

// "<class>" or "<class>|<title>": the panels are dialogs, told apart by their titles.
HWND FindByName(const char* name) {
  const char* bar = std::strchr(name, '|');
  if (!bar) return FindWindowA(name, nullptr);
  const std::string windowClass(name, bar);
  return FindWindowA(windowClass.c_str(), bar + 1);
}

void SendKey(HWND window, UINT vk, bool ctrl) {
  SetForegroundWindow(window);
  if (ctrl) {
    // The accelerator reads Ctrl from the thread's key state, which only input events
    // update; posted keys would overtake the Ctrl press, so the whole chord goes as input.
    keybd_event(VK_CONTROL, 0, 0, 0);
    keybd_event(static_cast<BYTE>(vk), 0, 0, 0);
    keybd_event(static_cast<BYTE>(vk), 0, KEYEVENTF_KEYUP, 0);
    keybd_event(VK_CONTROL, 0, KEYEVENTF_KEYUP, 0);
    return;
  }
  const LPARAM scan = static_cast<LPARAM>(MapVirtualKeyA(vk, MAPVK_VK_TO_VSC)) << 16;
  PostMessageA(window, WM_KEYDOWN, vk, scan | 1);
  PostMessageA(window, WM_KEYUP, vk, scan | 1 | (1L << 30) | (1L << 31));
}

// Where a control is on the screen and what it shows, so a script can point at it and
// check the result: rect=x,y,w,h (client area), enabled, checked, text, and for combo
// boxes the selection and the height of a list item.
int DescribeItem(const char* title, unsigned long id) {
  HWND dialog = FindDialog(title);
  if (!dialog) return Fail("no dialog \"%s\"", title);
  HWND item = id ? GetDlgItem(dialog, static_cast<int>(id)) : dialog;
  if (!item) return Fail("no control %lu in \"%s\"", id, title);
  RECT client = {};
  GetClientRect(item, &client);
  POINT origin = {0, 0};
  ClientToScreen(item, &origin);
  // GetWindowText of another process's control reads only its caption, never an edit's text.
  char text[512] = {};
  SendMessageTimeoutA(item, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text), SMTO_BLOCK,
                      kCloseTimeoutMs, nullptr);
  char cls[32] = {};
  GetClassNameA(item, cls, sizeof cls);
  long selection = -1, itemHeight = 0;
  if (lstrcmpiA(cls, "ComboBox") == 0) {
    selection = static_cast<long>(SendMessageA(item, CB_GETCURSEL, 0, 0));
    itemHeight = static_cast<long>(SendMessageA(item, CB_GETITEMHEIGHT, 0, 0));
  }
  const bool checked = id && IsDlgButtonChecked(dialog, static_cast<int>(id)) == BST_CHECKED;
  std::printf("rect=%ld,%ld,%ld,%ld enabled=%d checked=%d sel=%ld itemheight=%ld\ntext=%s\n",
              origin.x, origin.y, client.right, client.bottom, IsWindowEnabled(item) ? 1 : 0,
              checked ? 1 : 0, selection, itemHeight, Escaped(text).c_str());
  return 0;
}

// A plain green window above the others for `ms`, pumping its messages meanwhile: another
// program's window covering part of the screen.
int Cover(const long (&r)[4], DWORD ms) {
  WNDCLASSA wc = {};
  wc.lpfnWndProc = DefWindowProcA;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.hbrBackground = CreateSolidBrush(RGB(0, 160, 0));
  wc.lpszClassName = "LumctlCover";
  RegisterClassA(&wc);
  HWND cover = CreateWindowExA(WS_EX_TOOLWINDOW, wc.lpszClassName, "", WS_POPUP | WS_VISIBLE, r[0],
                               r[1], r[2], r[3], nullptr, nullptr, wc.hInstance, nullptr);
  if (!cover) return Fail("cannot create the cover window");
  SetWindowPos(cover, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  const ULONGLONG end = GetTickCount64() + ms;
  while (GetTickCount64() < end) {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
    Sleep(10);
  }
  DestroyWindow(cover);
  return 0;
}

bool ParseSigned(const char* text, long& value) {
  char* end = nullptr;
  value = std::strtol(text, &end, 0);
  return end != text && *end == '\0';
}

// Where the pointer goes for a control, so scripts can click it with real input.
int Point(int argc, char** argv) {
  unsigned long id = 0;
  long x = 0, y = 0;
  if ((argc != 4 && argc != 6) || !ParseNumber(argv[3], 0xFFFF, id)) return 2;
  if (argc == 6 && (!ParseSigned(argv[4], x) || !ParseSigned(argv[5], y))) return 2;
  HWND window = nullptr;
  PollUntil(5000, [&] {
    window = FindWindowA(nullptr, argv[2]);
    return window && IsWindowVisible(window);
  });
  if (!window) return Fail("no window \"%s\"", argv[2]);
  HWND control = id ? GetDlgItem(window, static_cast<int>(id)) : window;
  if (!control) return Fail("no control %lu in \"%s\"", id, argv[2]);
  POINT p = {};
  if (argc == 4) {
    RECT r = {};
    GetWindowRect(control, &r);
    p = {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
  } else {
    RECT client = {};
    GetClientRect(control, &client);
    p = {x < 0 ? client.right + x : x, y};
    ClientToScreen(control, &p);
  }
  std::printf("%ld %ld\n", p.x, p.y);
  return 0;
}

int Run(int argc, char** argv) {
  if (argc == 7 && std::string(argv[1]) == "cover") {
    long r[4];
    unsigned long ms = 0;
    for (int i = 0; i < 4; ++i) {
      char* end = nullptr;
      r[i] = std::strtol(argv[2 + i], &end, 10);
      if (end == argv[2 + i] || *end) return 2;
    }
    if (!ParseNumber(argv[6], 600000, ms)) return 2;
    return Cover(r, ms);
  }
  if (argc == 3 && (std::string(argv[1]) == "minimize" || std::string(argv[1]) == "restore")) {
    HWND window = FindByName(argv[2]);
    if (!window) return Fail("no window of class %s", argv[2]);
    const WPARAM command = std::string(argv[1]) == "minimize" ? SC_MINIMIZE : SC_RESTORE;
    return PostMessageA(window, WM_SYSCOMMAND, command, 0) ? 0 : 1;
  }
  if (argc == 3 && std::string(argv[1]) == "activate") {
    HWND window = FindByName(argv[2]);
    if (!window) return Fail("no window of class %s", argv[2]);
    return SetForegroundWindow(window) ? 0 : 1;
  }
  if (argc == 5 && std::string(argv[1]) == "move") {
    char* endX = nullptr;
    char* endY = nullptr;
    const long x = std::strtol(argv[3], &endX, 10), y = std::strtol(argv[4], &endY, 10);
    if (endX == argv[3] || *endX || endY == argv[4] || *endY) return 2;
    HWND window = FindByName(argv[2]);
    if (!window) return Fail("no window of class %s", argv[2]);
    return SetWindowPos(window, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE)
               ? 0
               : 1;
  }
  if (argc < 4) return 2;
  const std::string verb = argv[1];
  if (verb == "point") return Point(argc, argv);
  const char* name = argv[2];
  unsigned long number = 0;

  if (verb == "key") {
    const bool ctrl = argc == 5 && lstrcmpiA(argv[4], "ctrl") == 0;
    if (argc > 5 || (argc == 5 && !ctrl) || !ParseVirtualKey(argv[3], number)) return 2;
    HWND window = FindByName(name);
    if (!window) return Fail("no window of class %s", name);
    SendKey(window, number, ctrl);
    return 0;
  }
  if (verb == "commands") {
    // <count> commands, cycling through the ids, <interval_ms> apart: a burst no
    // process-per-command driver could post.
    unsigned long interval = 0, count = 0;
    if (argc < 6 || !ParseNumber(argv[3], 10000, interval) || !ParseNumber(argv[4], 100000, count))
      return 2;
    std::vector<unsigned long> ids;
    for (int i = 5; i < argc; ++i) {
      if (!ParseNumber(argv[i], 0xFFFF, number)) return 2;
      ids.push_back(number);
    }
    for (unsigned long i = 0; i < count; ++i) {
      HWND window = FindWindowA(name, nullptr);
      if (!window) return Fail("no window of class %s after %lu commands", name, i);
      if (!PostMessageA(window, WM_COMMAND, MAKEWPARAM(ids[i % ids.size()], 0), 0)) return 1;
      Sleep(interval);
    }
    return 0;
  }
  if (argc != 4) return 2;
  if (verb == "item") {
    if (!ParseNumber(argv[3], 0xFFFF, number)) return 2;
    return DescribeItem(name, number);
  }
  if (verb == "command") {
    if (!ParseNumber(argv[3], 0xFFFF, number)) return 2;
    HWND window = FindByName(name);
    if (!window) return Fail("no window of class %s", name);
    return PostMessageA(window, WM_COMMAND, MAKEWPARAM(number, 0), 0) ? 0 : 1;
  }
  if (!ParseNumber(argv[3], 0x7FFFFFFF, number)) return 2;
  const DWORD ms = number;

  if (verb == "wait-window") {
    HWND window = nullptr;
    if (!PollUntil(ms, [&] { return (window = FindByName(name)) != nullptr; })) {
      return Fail("no window of class %s after %lu ms", name, ms);
    }
    RECT client = {};
    GetClientRect(window, &client);
    POINT origin = {0, 0};
    ClientToScreen(window, &origin);
    RECT frame = {};
    GetWindowRect(window, &frame);
    std::printf("hwnd=0x%llx client=%ldx%ld style=0x%08lx origin=%ld,%ld rect=%ld,%ld,%ld,%ld\n",
                HandleValue(window), client.right - client.left, client.bottom - client.top,
                static_cast<unsigned long>(GetWindowLongA(window, GWL_STYLE)), origin.x, origin.y,
                frame.left, frame.top, frame.right, frame.bottom);
    return 0;
  }
  if (verb == "wait-capture") {
    // A pointer press has been taken once its window holds the capture; moves sent
    // before that would go to whatever lies under the pointer.
    if (PollUntil(ms, [&] {
          HWND window = FindByName(name);
          GUITHREADINFO info = {};
          info.cbSize = sizeof info;
          return window && GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info) &&
                 info.hwndCapture == window;
        })) {
      return 0;
    }
    return Fail("window %s has no capture after %lu ms", name, ms);
  }
  if (verb == "no-window") {
    HWND window = nullptr;
    if (PollUntil(ms, [&] { return (window = FindByName(name)) != nullptr; })) {
      std::printf("found hwnd=0x%llx\n", HandleValue(window));
      return 1;
    }
    return 0;
  }
  if (verb == "wait-gone") {
    if (PollUntil(ms, [&] { return FindByName(name) == nullptr; })) return 0;
    return Fail("window of class %s still there", name);
  }
  if (verb == "msgbox") {
    HWND box = nullptr;
    if (!PollUntil(ms, [&] { return (box = FindMessageBox(name)) != nullptr; })) {
      return Fail("no message box \"%s\" after %lu ms", name, ms);
    }
    char text[4096] = {};
    GetDlgItemTextA(box, kMsgBoxTextId, text, sizeof text);
    std::printf("text=%s\n", Escaped(text).c_str());
    std::printf("exstyle=0x%08lx\n", static_cast<unsigned long>(GetWindowLongA(box, GWL_EXSTYLE)));
    std::printf("icon=%s\n", IconName(box));
    std::fflush(stdout);
    return PressOk(box) ? 0 : 1;
  }
  if (verb == "count-msgbox") {
    int count = 0;
    bool all_closed = true;
    PollUntil(ms, [&] {
      if (HWND box = FindMessageBox(name)) {
        char text[4096] = {};
        GetDlgItemTextA(box, kMsgBoxTextId, text, sizeof text);
        std::fprintf(stderr, "lumctl: message box %d: %s\n", ++count, Escaped(text).c_str());
        all_closed = PressOk(box) && all_closed;
      }
      return false;
    });
    std::printf("count=%d\n", count);
    return all_closed ? 0 : 1;
  }
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  const int result = Run(argc, argv);
  if (result == 2) std::fputs(kUsage, stderr);
  return result;
}
