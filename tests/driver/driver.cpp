// The test driver: starts a program and works its windows like a user, from a
// small command language given on the command line or in a script file.
//
//   driver [/out FILE] [/script FILE] COMMAND [key=value ...] COMMAND ...
//
// A command is a word followed by its key=value arguments; in a script file
// each line holds one command (blank lines and lines starting with # are
// skipped; values may be quoted with "..."). Output lines are UTF-8, one item
// per line, with \r, \n and \\ escaped, on standard output or in the /out file.
//
//   start cmd="prog.exe args" [dir=D]      start the program
//   wait-window [class=C] [title=T] [title-file=F] [text=T] [text-file=F] [timeout=ms]
//                                          wait for a visible top-level window
//                                          of the program; it becomes current
//   read-text [id=N]                       print caption=... and text=... (the
//                                          message text, or control N's text)
//   read-controls                          print control=ID CLASS TEXT for
//                                          every child of the current window
//   click (id=N | text=T | text-file=F) [via=command] [wait=1] [timeout=ms]
//                                          press a button of the current window;
//                                          with wait, return once the press has
//                                          been handled (only for a press that
//                                          does not open a modal window)
//   type (text=T | file=F) [id=N]          type characters into control N (or
//                                          the focused control)
//   mouse-click id=N                       press and release the left mouse
//                                          button in the middle of control N
//                                          (an edit box takes the focus so)
//   select-all [id=N]                      select all text of edit control N
//                                          (or the focused control)
//   key vk=N [id=N]                        press and release virtual key N in
//                                          control N (or the focused control)
//   close [via=syscommand]                 ask the current window to close (with
//                                          via, as its title bar's close box does)
//   focus                                  print focus=ID CLASS TEXT of the
//                                          control that has the keyboard focus
//                                          in the current window's thread
//   wait-focus id=N [timeout=ms]           wait until control N has the focus
//   wait-text (text=T | text-file=F) [id=N] [timeout=ms]
//                                          wait until control N (or the current
//                                          window) shows exactly this text
//   read-layout [all=1]                    print window=X Y W H (screen),
//                                          client=W H, max-track=W H and, for
//                                          every child, child=ID CLASS VISIBLE X
//                                          Y W H TEXT (client coordinates); with
//                                          all, every descendant (units inside
//                                          other units too), still in the
//                                          window's client coordinates
//   measure-fit [font-file=F] [as=NAME]    for every label, transparent label and
//                                          button of the current window (all
//                                          descendants): fit=NAME ID CLASS W H SW
//                                          SH WW WH, its client size and the size
//                                          its text needs in one line (SW SH)
//                                          and word-wrapped at its width (WW WH,
//                                          WW above W when a word is cut), in
//                                          the font of file F ("FACE HEIGHT
//                                          WEIGHT CHARSET", UTF-8), or in the
//                                          system's default GUI font (NAME:
//                                          "default" unless given)
//   measure-text id=N                      print extent=CX CY LINES: control N's
//                                          text measured as the program measures
//                                          it (a DC of the control without a
//                                          font selected, above 96 DPI its font
//                                          at 96 DPI and the extent scaled; the
//                                          line longest in GBK bytes, lines
//                                          split at CR LF), and
//                                          wrapped=H: the height the text takes
//                                          word-wrapped in the control's font
//                                          and width
//   stat path=P                            print stat=size N, or stat=missing
//                                          (%NAME% in a path is the environment
//                                          variable's value, here and below)
//   wait-file path=P [gone=1] [timeout=ms] wait until file P exists (or is gone)
//   watch-file path=P                      from now on, catch the contents of
//                                          file P as soon as it can be read; a
//                                          folder named * in P matches any
//                                          folder there (one * at most)
//   watched [timeout=ms]                   wait for the caught contents and
//                                          print file=TEXT (GBK bytes as UTF-8)
//   screenshot file=F.bmp                  the current window, as a 24-bit BMP
//   wait-gone [timeout=ms]                 wait for the current window to go
//   wait-exit [timeout=ms] [no-window=1] [memory=1]
//                                          print exit=CODE (signed); with
//                                          no-window, fail if the program shows
//                                          any visible top-level window meanwhile;
//                                          with memory, also the highest
//                                          peak-working-set=BYTES read while it ran
//   kill                                   end the program at once, as a crash
//                                          or a power cut would (TerminateProcess),
//                                          and wait until it is gone
//   sleep ms=N
//   stamp [name=X]                         print stamp=X MS, milliseconds since
//                                          the driver started (0.1 ms steps)
//   stamp-window name=X [as wait-window]   wait-window polling every 5 ms, without
//                                          the settling pause; print the stamp
//                                          the moment the window is found
//   memory                                 print peak-working-set=BYTES and
//                                          working-set=BYTES of the running program
//
// Texts given in files (text-file=, title-file=, file=) are UTF-8: passing
// non-ASCII text on a command line is not reliable everywhere. The driver
// exits 0 when every command succeeded; otherwise it prints error=... ,
// ends the program it started (by its process id) and exits 1.
#include <windows.h>
#include <psapi.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

// --- UTF-8 <-> UTF-16, by hand ------------------------------------------------

std::string Utf8(const std::wstring& w) {
  std::string out;
  for (size_t i = 0; i < w.size(); ++i) {
    uint32_t c = w[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < w.size() && w[i + 1] >= 0xDC00 && w[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (w[i + 1] - 0xDC00);
      ++i;
    }
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += static_cast<char>(0xE0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (c >> 18));
      out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

std::wstring Utf16(const std::string& s) {
  std::wstring out;
  for (size_t i = 0; i < s.size();) {
    const auto b = static_cast<unsigned char>(s[i]);
    uint32_t c;
    size_t n;
    if (b < 0x80) { c = b; n = 1; }
    else if ((b & 0xE0) == 0xC0) { c = b & 0x1F; n = 2; }
    else if ((b & 0xF0) == 0xE0) { c = b & 0x0F; n = 3; }
    else if ((b & 0xF8) == 0xF0) { c = b & 0x07; n = 4; }
    else { out += L'\xFFFD'; ++i; continue; }
    if (i + n > s.size()) { out += L'\xFFFD'; break; }
    for (size_t k = 1; k < n; ++k) c = (c << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3F);
    i += n;
    if (c >= 0x10000) {
      c -= 0x10000;
      out += static_cast<wchar_t>(0xD800 + (c >> 10));
      out += static_cast<wchar_t>(0xDC00 + (c & 0x3FF));
    } else {
      out += static_cast<wchar_t>(c);
    }
  }
  return out;
}

std::string Escape(const std::string& s) {
  std::string out;
  for (char c : s) {
    if (c == '\r') out += "\\r";
    else if (c == '\n') out += "\\n";
    else if (c == '\\') out += "\\\\";
    else out += c;
  }
  return out;
}

std::string ReadUtf8File(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  std::stringstream ss;
  ss << f.rdbuf();
  std::string s = ss.str();
  if (s.size() >= 3 && s.compare(0, 3, "\xEF\xBB\xBF") == 0) s.erase(0, 3);
  while (!s.empty() && (s.back() == '\n' || s.back() == '\r')) s.pop_back();
  return s;
}

// --- commands -------------------------------------------------------------------

struct Command {
  std::string name;
  std::map<std::string, std::string> args;
  bool Has(const std::string& k) const { return args.count(k) != 0; }
  std::string Get(const std::string& k, const std::string& fallback = "") const {
    auto it = args.find(k);
    return it == args.end() ? fallback : it->second;
  }
  long Num(const std::string& k, long fallback) const {
    auto it = args.find(k);
    return it == args.end() ? fallback : std::strtol(it->second.c_str(), nullptr, 0);
  }
  // A text given directly (key) or in a UTF-8 file (key-file).
  bool Text(const std::string& k, std::wstring* out) const {
    if (Has(k)) { *out = Utf16(Get(k)); return true; }
    if (Has(k + "-file")) { *out = Utf16(ReadUtf8File(Get(k + "-file"))); return true; }
    return false;
  }
};

class Driver {
 public:
  explicit Driver(FILE* out) : out_(out) {}
  ~Driver() {
    if (watcher_) {
      watch_stop_ = true;
      WaitForSingleObject(watcher_, INFINITE);
      CloseHandle(watcher_);
    }
    if (process_) CloseHandle(process_);
  }

  bool Run(const Command& c) {
    if (c.name == "start") return Start(c);
    if (c.name == "wait-window") return WaitWindow(c);
    if (c.name == "read-text") return ReadText(c);
    if (c.name == "read-controls") return ReadControls();
    if (c.name == "click") return Click(c);
    if (c.name == "type") return Type(c);
    if (c.name == "close") return Close(c);
    if (c.name == "mouse-click") return MouseClick(c);
    if (c.name == "select-all") return SelectAll(c);
    if (c.name == "key") return Key(c);
    if (c.name == "focus") return Focus();
    if (c.name == "wait-focus") return WaitFocus(c);
    if (c.name == "wait-text") return WaitText(c);
    if (c.name == "read-layout") return ReadLayout(c);
    if (c.name == "measure-fit") return MeasureFit(c);
    if (c.name == "measure-text") return MeasureText(c);
    if (c.name == "stat") return Stat(c);
    if (c.name == "wait-file") return WaitFile(c);
    if (c.name == "watch-file") return WatchFile(c);
    if (c.name == "watched") return Watched(c);
    if (c.name == "screenshot") return Screenshot(c);
    if (c.name == "wait-gone") return WaitGone(c);
    if (c.name == "wait-exit") return WaitExit(c);
    if (c.name == "sleep") { Sleep(static_cast<DWORD>(c.Num("ms", 100))); return true; }
    if (c.name == "stamp") return Stamp(c);
    if (c.name == "stamp-window") return StampWindow(c);
    if (c.name == "memory") return Memory();
    if (c.name == "kill") return Kill();
    return Fail("unknown command " + c.name);
  }

  bool Fail(const std::string& why) {
    Print("error=" + why);
    return false;
  }

  // Ends the program this driver started, if it still runs.
  void EndStarted() {
    if (process_ && WaitForSingleObject(process_, 0) == WAIT_TIMEOUT) TerminateProcess(process_, 99);
  }

 private:
  void Print(const std::string& line) {
    std::fputs(line.c_str(), out_);
    std::fputc('\n', out_);
    std::fflush(out_);
  }

  bool Start(const Command& c) {
    std::wstring cmd = Utf16(c.Get("cmd"));
    if (cmd.empty()) return Fail("start needs cmd=");
    std::wstring dir = Utf16(c.Get("dir"));
    std::vector<wchar_t> buf(cmd.begin(), cmd.end());
    buf.push_back(0);
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    // Wine on a loaded machine now and then fails a start with an internal
    // error before the program's first instruction; that start is tried
    // again. Any other failure (a missing or damaged program) is reported.
    for (int attempt = 1;; attempt++) {
      if (CreateProcessW(nullptr, buf.data(), nullptr, nullptr, FALSE, 0, nullptr,
                         dir.empty() ? nullptr : dir.c_str(), &si, &pi))
        break;
      const DWORD error = GetLastError();
      if (error != ERROR_INTERNAL_ERROR || attempt == 3) return Fail("cannot start (" + std::to_string(error) + ")");
      Sleep(500);
    }
    CloseHandle(pi.hThread);
    process_ = pi.hProcess;
    pid_ = pi.dwProcessId;
    return true;
  }

  struct Search {
    DWORD pid;
    const std::wstring* cls;
    const std::wstring* title;
    HWND found;
    const std::wstring* child = nullptr;  // a control of the window must show this text
  };

  struct ChildSearch {
    const std::wstring* text;
    bool found;
  };
  static BOOL CALLBACK MatchChild(HWND h, LPARAM lp) {
    auto* s = reinterpret_cast<ChildSearch*>(lp);
    if (IsWindowVisible(h) && WindowText(h) == *s->text) {
      s->found = true;
      return FALSE;
    }
    return TRUE;
  }

  static BOOL CALLBACK Match(HWND h, LPARAM lp) {
    auto* s = reinterpret_cast<Search*>(lp);
    DWORD pid = 0;
    GetWindowThreadProcessId(h, &pid);
    if (pid != s->pid || !IsWindowVisible(h)) return TRUE;
    if (!s->cls->empty() && ClassName(h) != *s->cls) return TRUE;
    if (s->title && WindowText(h) != *s->title) return TRUE;
    if (s->child) {
      ChildSearch cs{s->child, false};
      EnumChildWindows(h, MatchChild, reinterpret_cast<LPARAM>(&cs));
      if (!cs.found) return TRUE;
    }
    s->found = h;
    return FALSE;
  }

  static std::wstring ClassName(HWND h) {
    wchar_t buf[256];
    const int n = GetClassNameW(h, buf, 256);
    return std::wstring(buf, n > 0 ? n : 0);
  }

  static std::wstring WindowText(HWND h) {
    DWORD_PTR len = 0;
    if (!SendMessageTimeoutW(h, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 5000, &len)) return L"";
    std::wstring s(len + 1, L'\0');
    DWORD_PTR got = 0;
    SendMessageTimeoutW(h, WM_GETTEXT, len + 1, reinterpret_cast<LPARAM>(s.data()), SMTO_ABORTIFHUNG, 5000, &got);
    s.resize(got);
    return s;
  }

  bool WaitWindow(const Command& c) {
    if (!pid_) return Fail("no program started");
    const std::wstring cls = Utf16(c.Get("class"));
    std::wstring title;
    const bool byTitle = c.Text("title", &title);
    std::wstring child;
    const bool byChild = c.Text("text", &child);
    const DWORD until = GetTickCount() + static_cast<DWORD>(c.Num("timeout", 10000));
    for (;;) {
      Search s{pid_, &cls, byTitle ? &title : nullptr, nullptr, byChild ? &child : nullptr};
      EnumWindows(Match, reinterpret_cast<LPARAM>(&s));
      if (s.found) {
        window_ = s.found;
        Sleep(200);  // let it finish painting and take the focus
        return true;
      }
      if (WaitForSingleObject(process_, 0) == WAIT_OBJECT_0) return Fail("program ended before the window came");
      if (static_cast<LONG>(GetTickCount() - until) > 0) return Fail("no such window");
      Sleep(50);
    }
  }

  bool ReadText(const Command& c) {
    if (!IsWindow(window_)) return Fail("no window");
    Print("caption=" + Escape(Utf8(WindowText(window_))));
    HWND text = nullptr;
    if (c.Has("id")) {
      text = GetDlgItem(window_, static_cast<int>(c.Num("id", 0)));
    } else {
      text = GetDlgItem(window_, 0xFFFF);  // a message box's text
      for (HWND h = GetWindow(window_, GW_CHILD); !text && h; h = GetWindow(h, GW_HWNDNEXT)) {
        if (ClassName(h) == L"Static" && !WindowText(h).empty()) text = h;
      }
    }
    if (!text) return Fail("no text control");
    Print("text=" + Escape(Utf8(WindowText(text))));
    return true;
  }

  bool ReadControls() {
    if (!IsWindow(window_)) return Fail("no window");
    for (HWND h = GetWindow(window_, GW_CHILD); h; h = GetWindow(h, GW_HWNDNEXT)) {
      Print("control=" + std::to_string(GetDlgCtrlID(h)) + " " + Utf8(ClassName(h)) + " " +
            Escape(Utf8(WindowText(h))));
    }
    return true;
  }

  static std::wstring WithoutMnemonic(std::wstring s) {
    std::wstring out;
    for (wchar_t ch : s) {
      if (ch != L'&') out += ch;
    }
    return out;
  }

  HWND FindControl(const Command& c) {
    if (c.Has("id")) return GetDlgItem(window_, static_cast<int>(c.Num("id", 0)));
    std::wstring want;
    if (!c.Text("text", &want)) return nullptr;
    want = WithoutMnemonic(want);
    for (HWND h = GetWindow(window_, GW_CHILD); h; h = GetWindow(h, GW_HWNDNEXT)) {
      if (WithoutMnemonic(WindowText(h)) == want) return h;
    }
    return nullptr;
  }

  bool Click(const Command& c) {
    if (!IsWindow(window_)) return Fail("no window");
    HWND button = FindControl(c);
    if (!button) return Fail("no such button");
    if (c.Get("via") == "command") {
      PostMessageW(window_, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(button), BN_CLICKED),
                   reinterpret_cast<LPARAM>(button));
    } else if (c.Num("wait", 0) != 0) {
      DWORD_PTR ignored = 0;
      if (!SendMessageTimeoutW(button, BM_CLICK, 0, 0, SMTO_NORMAL, static_cast<UINT>(c.Num("timeout", 30000)),
                               &ignored)) {
        return Fail("the press was not handled in time");
      }
    } else {
      PostMessageW(button, BM_CLICK, 0, 0);
    }
    return true;
  }

  bool Type(const Command& c) {
    if (!IsWindow(window_)) return Fail("no window");
    std::wstring text;
    if (c.Has("file")) {
      text = Utf16(ReadUtf8File(c.Get("file")));
    } else if (!c.Text("text", &text)) {
      return Fail("type needs text= or file=");
    }
    HWND target = c.Has("id") ? GetDlgItem(window_, static_cast<int>(c.Num("id", 0))) : nullptr;
    if (!target) {
      GUITHREADINFO gi{};
      gi.cbSize = sizeof gi;
      if (GetGUIThreadInfo(GetWindowThreadProcessId(window_, nullptr), &gi)) target = gi.hwndFocus;
    }
    if (!target) return Fail("no control to type into");
    for (wchar_t ch : text) PostMessageW(target, WM_CHAR, ch, 1);
    return true;
  }

  bool Close(const Command& c) {
    if (!IsWindow(window_)) return Fail("no window");
    if (c.Get("via") == "syscommand") {
      PostMessageW(window_, WM_SYSCOMMAND, SC_CLOSE, 0);
    } else {
      PostMessageW(window_, WM_CLOSE, 0, 0);
    }
    return true;
  }

  // Control N of the current window, or the control with the keyboard focus
  // in the window's thread.
  HWND TargetControl(const Command& c) {
    if (c.Has("id")) return GetDlgItem(window_, static_cast<int>(c.Num("id", 0)));
    GUITHREADINFO gi{};
    gi.cbSize = sizeof gi;
    if (!GetGUIThreadInfo(GetWindowThreadProcessId(window_, nullptr), &gi)) return nullptr;
    return gi.hwndFocus;
  }

  bool MouseClick(const Command& c) {
    if (!IsWindow(window_)) return Fail("no window");
    HWND target = c.Has("id") ? GetDlgItem(window_, static_cast<int>(c.Num("id", 0))) : nullptr;
    if (!target) return Fail("mouse-click needs the id= of a control");
    RECT r;
    GetClientRect(target, &r);
    const LPARAM at = MAKELPARAM(r.right / 2, r.bottom / 2);
    PostMessageW(target, WM_LBUTTONDOWN, MK_LBUTTON, at);
    PostMessageW(target, WM_LBUTTONUP, 0, at);
    return true;
  }

  bool SelectAll(const Command& c) {
    if (!IsWindow(window_)) return Fail("no window");
    HWND target = TargetControl(c);
    if (!target) return Fail("no control");
    PostMessageW(target, EM_SETSEL, 0, -1);
    return true;
  }

  bool Key(const Command& c) {
    if (!IsWindow(window_)) return Fail("no window");
    const long vk = c.Num("vk", 0);
    if (vk <= 0 || vk > 0xFE) return Fail("key needs vk=1..254");
    HWND target = TargetControl(c);
    if (!target) return Fail("no control");
    const UINT scan = MapVirtualKeyW(static_cast<UINT>(vk), 0 /* MAPVK_VK_TO_VSC */);
    PostMessageW(target, WM_KEYDOWN, static_cast<WPARAM>(vk), 1 | (static_cast<LPARAM>(scan) << 16));
    PostMessageW(target, WM_KEYUP, static_cast<WPARAM>(vk),
                 1 | (static_cast<LPARAM>(scan) << 16) | (static_cast<LPARAM>(3) << 30));
    return true;
  }

  std::string Describe(HWND h) {
    return std::to_string(GetDlgCtrlID(h)) + " " + Utf8(ClassName(h)) + " " + Escape(Utf8(WindowText(h)));
  }

  bool Focus() {
    if (!IsWindow(window_)) return Fail("no window");
    GUITHREADINFO gi{};
    gi.cbSize = sizeof gi;
    if (!GetGUIThreadInfo(GetWindowThreadProcessId(window_, nullptr), &gi)) return Fail("no thread information");
    Print(gi.hwndFocus ? "focus=" + Describe(gi.hwndFocus) : "focus=none");
    return true;
  }

  bool WaitFocus(const Command& c) {
    if (!IsWindow(window_)) return Fail("no window");
    HWND want = GetDlgItem(window_, static_cast<int>(c.Num("id", 0)));
    if (!want) return Fail("no such control");
    const DWORD until = GetTickCount() + static_cast<DWORD>(c.Num("timeout", 10000));
    for (;;) {
      GUITHREADINFO gi{};
      gi.cbSize = sizeof gi;
      if (GetGUIThreadInfo(GetWindowThreadProcessId(window_, nullptr), &gi) && gi.hwndFocus == want) return true;
      if (static_cast<LONG>(GetTickCount() - until) > 0) {
        return Fail(gi.hwndFocus ? "the focus is on " + Describe(gi.hwndFocus) : "no focus");
      }
      Sleep(50);
    }
  }

  bool WaitText(const Command& c) {
    if (!IsWindow(window_)) return Fail("no window");
    std::wstring want;
    if (!c.Text("text", &want)) return Fail("wait-text needs text= or text-file=");
    HWND target = c.Has("id") ? GetDlgItem(window_, static_cast<int>(c.Num("id", 0))) : window_;
    if (!target) return Fail("no such control");
    const DWORD until = GetTickCount() + static_cast<DWORD>(c.Num("timeout", 10000));
    for (;;) {
      const std::wstring now = WindowText(target);
      if (now == want) return true;
      if (!IsWindow(target)) return Fail("the control is gone");
      if (static_cast<LONG>(GetTickCount() - until) > 0) return Fail("text is " + Escape(Utf8(now)));
      Sleep(50);
    }
  }

  bool ReadLayout(const Command& c) {
    if (!IsWindow(window_)) return Fail("no window");
    const bool all = c.Num("all", 0) != 0;
    RECT w, cl;
    GetWindowRect(window_, &w);
    GetClientRect(window_, &cl);
    Print("window=" + std::to_string(w.left) + " " + std::to_string(w.top) + " " + std::to_string(w.right - w.left) +
          " " + std::to_string(w.bottom - w.top));
    Print("client=" + std::to_string(cl.right) + " " + std::to_string(cl.bottom));
    Print("max-track=" + std::to_string(GetSystemMetrics(SM_CXMAXTRACK)) + " " +
          std::to_string(GetSystemMetrics(SM_CYMAXTRACK)));
    for (HWND h : all ? Descendants(window_) : Children(window_)) {
      RECT r;
      GetWindowRect(h, &r);
      MapWindowPoints(nullptr, window_, reinterpret_cast<POINT*>(&r), 2);
      Print("child=" + std::to_string(GetDlgCtrlID(h)) + " " + Utf8(ClassName(h)) + " " +
            (IsWindowVisible(h) ? "1 " : "0 ") + std::to_string(r.left) + " " + std::to_string(r.top) + " " +
            std::to_string(r.right - r.left) + " " + std::to_string(r.bottom - r.top) + " " +
            Escape(Utf8(WindowText(h))));
    }
    return true;
  }

  static std::vector<HWND> Children(HWND parent) {
    std::vector<HWND> out;
    for (HWND h = GetWindow(parent, GW_CHILD); h; h = GetWindow(h, GW_HWNDNEXT)) out.push_back(h);
    return out;
  }
  static BOOL CALLBACK CollectWindow(HWND h, LPARAM lp) {
    reinterpret_cast<std::vector<HWND>*>(lp)->push_back(h);
    return TRUE;
  }
  static std::vector<HWND> Descendants(HWND parent) {
    std::vector<HWND> out;
    EnumChildWindows(parent, CollectWindow, reinterpret_cast<LPARAM>(&out));
    return out;
  }

  bool MeasureFit(const Command& c) {
    if (!IsWindow(window_)) return Fail("no window");
    HFONT font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    HFONT own = nullptr;
    if (c.Has("font-file")) {
      // FACE HEIGHT WEIGHT CHARSET; the face may hold blanks.
      std::istringstream in(ReadUtf8File(c.Get("font-file")));
      std::vector<std::string> words;
      for (std::string w; in >> w;) words.push_back(w);
      if (words.size() < 4) return Fail("font-file needs FACE HEIGHT WEIGHT CHARSET");
      std::string face;
      for (size_t i = 0; i + 3 < words.size(); ++i) face += (i ? " " : "") + words[i];
      LOGFONTW lf{};
      lf.lfHeight = std::atoi(words[words.size() - 3].c_str());
      lf.lfWeight = std::atoi(words[words.size() - 2].c_str());
      lf.lfCharSet = static_cast<BYTE>(std::atoi(words[words.size() - 1].c_str()));
      const std::wstring wface = Utf16(face);
      wcsncpy(lf.lfFaceName, wface.c_str(), LF_FACESIZE - 1);
      own = CreateFontIndirectW(&lf);
      if (!own) return Fail("cannot make the font");
      font = own;
    }
    for (HWND h : Descendants(window_)) {
      const std::wstring cls = ClassName(h);
      if (cls != L"_ZR_Label" && cls != L"_ZR_TransLabel" && _wcsicmp(cls.c_str(), L"Button") != 0) continue;
      const std::wstring text = WindowText(h);
      RECT client;
      GetClientRect(h, &client);
      HDC dc = GetDC(h);
      HGDIOBJ old = SelectObject(dc, font);
      RECT one{0, 0, 0, 0}, wrapped{0, 0, client.right, 0};
      if (!text.empty()) {
        DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &one, DT_CALCRECT | DT_SINGLELINE);
        DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &wrapped, DT_CALCRECT | DT_WORDBREAK);
      }
      SelectObject(dc, old);
      ReleaseDC(h, dc);
      Print("fit=" + c.Get("as", "default") + " " + std::to_string(GetDlgCtrlID(h)) + " " + Utf8(cls) + " " + std::to_string(client.right) + " " +
            std::to_string(client.bottom) + " " + std::to_string(one.right - one.left) + " " +
            std::to_string(one.bottom - one.top) + " " + std::to_string(wrapped.right - wrapped.left) + " " +
            std::to_string(wrapped.bottom - wrapped.top));
    }
    if (own) DeleteObject(own);
    return true;
  }

  static int GbkLength(const std::wstring& s) {
    if (s.empty()) return 0;
    return WideCharToMultiByte(936, 0, s.c_str(), static_cast<int>(s.size()), nullptr, 0, nullptr, nullptr);
  }

  bool MeasureText(const Command& c) {
    if (!IsWindow(window_)) return Fail("no window");
    HWND control = GetDlgItem(window_, static_cast<int>(c.Num("id", 0)));
    if (!control) return Fail("no such control");
    const std::wstring text = WindowText(control);
    // Lines at CR LF; the first of the greatest length in GBK bytes.
    std::wstring longest;
    int lines = 0, best = -1;
    for (size_t at = 0;;) {
      const size_t end = text.find(L"\r\n", at);
      const std::wstring line = text.substr(at, end == std::wstring::npos ? std::wstring::npos : end - at);
      if (end != std::wstring::npos || !line.empty() || lines == 0) {
        ++lines;
        if (GbkLength(line) > best) {
          best = GbkLength(line);
          longest = line;
        }
      }
      if (end == std::wstring::npos) break;
      at = end + 2;
    }
    HDC dc = GetDC(control);
    SIZE extent{0, 0};
    {
      // Above 96 DPI the program measures in the system font of a 96 DPI
      // display and scales the extent to the display's density.
      const int dpi = GetDeviceCaps(dc, LOGPIXELSY);
      HFONT font96 = nullptr;
      if (dpi != 96) {
        LOGFONTW lf{};
        GetObjectW(GetStockObject(SYSTEM_FONT), sizeof lf, &lf);
        lf.lfHeight = MulDiv(lf.lfHeight, 96, dpi);
        font96 = CreateFontIndirectW(&lf);
      }
      const HGDIOBJ old = font96 ? SelectObject(dc, font96) : nullptr;
      GetTextExtentPoint32W(dc, longest.c_str(), static_cast<int>(longest.size()), &extent);
      if (old) SelectObject(dc, old);
      if (font96) DeleteObject(font96);
      extent.cx = MulDiv(extent.cx, dpi, 96);
      extent.cy = MulDiv(extent.cy, dpi, 96);
    }
    RECT client;
    GetClientRect(control, &client);
    RECT wrapped{0, 0, client.right, 0};
    // The control's font handle is only usable here when it is a stock font,
    // as the units' default font is.
    auto font = reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0));
    if (!font) font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    if (GetObjectType(font) != OBJ_FONT) {
      ReleaseDC(control, dc);
      return Fail("the control's font is not usable from here");
    }
    HGDIOBJ old = SelectObject(dc, font);
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &wrapped, DT_WORDBREAK | DT_CALCRECT | DT_NOPREFIX);
    SelectObject(dc, old);
    ReleaseDC(control, dc);
    Print("extent=" + std::to_string(extent.cx) + " " + std::to_string(extent.cy) + " " + std::to_string(lines));
    Print("wrapped=" + std::to_string(wrapped.bottom - wrapped.top));
    return true;
  }

  static std::wstring PathArg(const Command& c) {
    const std::wstring given = Utf16(c.Get("path"));
    if (given.empty()) return given;
    std::wstring out(32768, L'\0');
    const DWORD n = ExpandEnvironmentStringsW(given.c_str(), out.data(), static_cast<DWORD>(out.size()));
    if (n == 0 || n > out.size()) return given;
    out.resize(n - 1);
    return out;
  }

  static bool FileExists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

  bool Stat(const Command& c) {
    const std::wstring path = PathArg(c);
    if (path.empty()) return Fail("stat needs path=");
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) {
      Print("stat=missing");
    } else {
      const unsigned long long size = (static_cast<unsigned long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
      Print("stat=size " + std::to_string(size));
    }
    return true;
  }

  bool WaitFile(const Command& c) {
    const std::wstring path = PathArg(c);
    if (path.empty()) return Fail("wait-file needs path=");
    const bool gone = c.Num("gone", 0) != 0;
    const DWORD until = GetTickCount() + static_cast<DWORD>(c.Num("timeout", 10000));
    while (FileExists(path) == gone) {
      if (static_cast<LONG>(GetTickCount() - until) > 0) return Fail(gone ? "the file is still there" : "no such file");
      Sleep(50);
    }
    return true;
  }

  // The watcher thread tries to open the file every millisecond, sharing
  // everything, so that it neither keeps the writer out nor stops a deletion;
  // the first complete read is kept. A writer that holds the file without
  // sharing keeps it out until the file is written and closed.
  static DWORD WINAPI WatchThread(void* param) {
    auto* self = static_cast<Driver*>(param);
    SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_TIME_CRITICAL);
    const std::wstring& path = self->watch_path_;
    const size_t star = path.find(L"\\*\\");
    while (!self->watch_stop_) {
      std::vector<std::wstring> candidates;
      if (star == std::wstring::npos) {
        candidates.push_back(path);
      } else {
        WIN32_FIND_DATAW fd;
        HANDLE find = FindFirstFileW(path.substr(0, star + 2).c_str(), &fd);
        if (find != INVALID_HANDLE_VALUE) {
          do {
            if ((fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && fd.cFileName[0] != L'.')
              candidates.push_back(path.substr(0, star + 1) + fd.cFileName + path.substr(star + 2));
          } while (FindNextFileW(find, &fd));
          FindClose(find);
        }
      }
      for (const auto& candidate : candidates) {
        HANDLE f = CreateFileW(candidate.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                               nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (f == INVALID_HANDLE_VALUE) continue;
        std::string bytes;
        char buf[4096];
        DWORD got = 0;
        while (ReadFile(f, buf, sizeof buf, &got, nullptr) && got > 0) bytes.append(buf, got);
        CloseHandle(f);
        if (!bytes.empty()) {
          self->watch_bytes_ = bytes;
          self->watch_done_ = true;
          return 0;
        }
      }
      Sleep(1);
    }
    return 0;
  }

  bool WatchFile(const Command& c) {
    if (watcher_) return Fail("a file is watched already");
    watch_path_ = PathArg(c);
    if (watch_path_.empty()) return Fail("watch-file needs path=");
    watcher_ = CreateThread(nullptr, 0, WatchThread, this, 0, nullptr);
    return watcher_ ? true : Fail("cannot start the watcher");
  }

  bool Watched(const Command& c) {
    if (!watcher_) return Fail("no file watched");
    if (WaitForSingleObject(watcher_, static_cast<DWORD>(c.Num("timeout", 10000))) != WAIT_OBJECT_0 || !watch_done_) {
      return Fail("the watched file was never read");
    }
    std::wstring text(watch_bytes_.size(), L'\0');
    text.resize(static_cast<size_t>(MultiByteToWideChar(936, 0, watch_bytes_.data(), static_cast<int>(watch_bytes_.size()),
                                                         text.data(), static_cast<int>(text.size()))));
    Print("file=" + Escape(Utf8(text)));
    return true;
  }

  bool Screenshot(const Command& c) {
    if (!IsWindow(window_)) return Fail("no window");
    const std::string file = c.Get("file");
    if (file.empty()) return Fail("screenshot needs file=");
    SetForegroundWindow(window_);
    BringWindowToTop(window_);
    Sleep(300);
    RECT r;
    GetWindowRect(window_, &r);
    const int w = r.right - r.left, h = r.bottom - r.top;
    if (w <= 0 || h <= 0) return Fail("empty window");
    HDC screen = GetDC(nullptr);
    HDC mem = CreateCompatibleDC(screen);
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = w;
    bi.bmiHeader.biHeight = h;  // bottom-up, as a BMP file stores it
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 24;
    void* bits = nullptr;
    HBITMAP bmp = CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(mem, bmp);
    // Only the part on the screen is copied (a copy reaching past the screen's
    // edge copies nothing under Wine); the rest of the picture stays black.
    RECT shown;
    const RECT desktop{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    if (IntersectRect(&shown, &r, &desktop)) {
      BitBlt(mem, shown.left - r.left, shown.top - r.top, shown.right - shown.left, shown.bottom - shown.top, screen,
             shown.left, shown.top, SRCCOPY);
    }
    GdiFlush();
    const DWORD stride = ((static_cast<DWORD>(w) * 3 + 3) / 4) * 4;
    const DWORD size = stride * static_cast<DWORD>(h);
    BITMAPFILEHEADER fh{};
    fh.bfType = 0x4D42;
    fh.bfOffBits = sizeof fh + sizeof bi.bmiHeader;
    fh.bfSize = fh.bfOffBits + size;
    bi.bmiHeader.biSizeImage = size;
    std::ofstream f(Utf16(file).c_str(), std::ios::binary);
    f.write(reinterpret_cast<const char*>(&fh), sizeof fh);
    f.write(reinterpret_cast<const char*>(&bi.bmiHeader), sizeof bi.bmiHeader);
    f.write(static_cast<const char*>(bits), size);
    const bool ok = static_cast<bool>(f);
    SelectObject(mem, old);
    DeleteObject(bmp);
    DeleteDC(mem);
    ReleaseDC(nullptr, screen);
    return ok ? true : Fail("cannot write " + file);
  }

  bool WaitGone(const Command& c) {
    const DWORD until = GetTickCount() + static_cast<DWORD>(c.Num("timeout", 10000));
    while (IsWindow(window_)) {
      if (static_cast<LONG>(GetTickCount() - until) > 0) return Fail("window still there");
      Sleep(50);
    }
    return true;
  }

  bool WaitExit(const Command& c) {
    if (!process_) return Fail("no program started");
    const DWORD until = GetTickCount() + static_cast<DWORD>(c.Num("timeout", 10000));
    const bool noWindow = c.Num("no-window", 0) != 0;
    const bool memory = c.Num("memory", 0) != 0;
    const std::wstring anyClass;
    // Read while the program runs: Wine has no figures for an ended one. The
    // peak only grows, so the last reading is close to the final peak.
    SIZE_T peak = 0;
    for (;;) {
      if (memory) {
        PROCESS_MEMORY_COUNTERS pmc{};
        pmc.cb = sizeof pmc;
        if (GetProcessMemoryInfo(process_, &pmc, sizeof pmc) && pmc.PeakWorkingSetSize > peak) {
          peak = pmc.PeakWorkingSetSize;
        }
      }
      if (WaitForSingleObject(process_, memory ? 2 : noWindow ? 20 : 50) == WAIT_OBJECT_0) break;
      if (noWindow) {
        Search s{pid_, &anyClass, nullptr, nullptr};
        EnumWindows(Match, reinterpret_cast<LPARAM>(&s));
        if (s.found) return Fail("a window showed: " + Utf8(WindowText(s.found)));
      }
      if (static_cast<LONG>(GetTickCount() - until) > 0) return Fail("program still running");
    }
    DWORD code = 0;
    GetExitCodeProcess(process_, &code);
    Print("exit=" + std::to_string(static_cast<int32_t>(code)));
    if (memory) Print("peak-working-set=" + std::to_string(static_cast<unsigned long long>(peak)));
    return true;
  }

  bool Kill() {
    if (!process_) return Fail("no program started");
    if (WaitForSingleObject(process_, 0) == WAIT_OBJECT_0) return Fail("program has ended");
    if (!TerminateProcess(process_, 99)) return Fail("could not end it (" + std::to_string(GetLastError()) + ")");
    WaitForSingleObject(process_, 30000);
    Print("killed");
    return true;
  }

  // ---- timing and memory, for the benchmarks ----

  static int64_t Ticks() {
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return t.QuadPart;
  }

  double MillisecondsSinceStart() const {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return 1000.0 * static_cast<double>(Ticks() - started_) / static_cast<double>(frequency.QuadPart);
  }

  void PrintStamp(const std::string& name, double ms) {
    char buf[64];
    std::snprintf(buf, sizeof buf, " %.1f", ms);
    Print("stamp=" + name + buf);
  }

  bool Stamp(const Command& c) {
    PrintStamp(c.Get("name", "now"), MillisecondsSinceStart());
    return true;
  }

  // The time is taken when the search finds the window, before anything is
  // printed; the 5 ms polling step bounds the error.
  bool StampWindow(const Command& c) {
    if (!pid_) return Fail("no program started");
    const std::wstring cls = Utf16(c.Get("class"));
    std::wstring title, child;
    const bool byTitle = c.Text("title", &title);
    const bool byChild = c.Text("text", &child);
    const double until = MillisecondsSinceStart() + static_cast<double>(c.Num("timeout", 10000));
    for (;;) {
      Search s{pid_, &cls, byTitle ? &title : nullptr, nullptr, byChild ? &child : nullptr};
      EnumWindows(Match, reinterpret_cast<LPARAM>(&s));
      const double now = MillisecondsSinceStart();
      if (s.found) {
        window_ = s.found;
        PrintStamp(c.Get("name", "window"), now);
        return true;
      }
      if (WaitForSingleObject(process_, 0) == WAIT_OBJECT_0) return Fail("program ended before the window came");
      if (now > until) return Fail("no such window");
      Sleep(5);
    }
  }

  // Only while the program runs: once it has ended the system may report
  // nothing for it (Wine reads the figures of the live process).
  bool Memory() {
    if (!process_) return Fail("no program started");
    if (WaitForSingleObject(process_, 0) == WAIT_OBJECT_0) return Fail("program has ended");
    PROCESS_MEMORY_COUNTERS pmc{};
    pmc.cb = sizeof pmc;
    if (!GetProcessMemoryInfo(process_, &pmc, sizeof pmc)) {
      return Fail("no memory figures (" + std::to_string(GetLastError()) + ")");
    }
    Print("peak-working-set=" + std::to_string(static_cast<unsigned long long>(pmc.PeakWorkingSetSize)));
    Print("working-set=" + std::to_string(static_cast<unsigned long long>(pmc.WorkingSetSize)));
    return true;
  }

  const int64_t started_ = Ticks();

  FILE* out_;
  HANDLE process_ = nullptr;
  DWORD pid_ = 0;
  HWND window_ = nullptr;
  HANDLE watcher_ = nullptr;
  std::wstring watch_path_;
  std::string watch_bytes_;
  std::atomic<bool> watch_stop_{false};
  std::atomic<bool> watch_done_{false};
};

// Splits a script line into tokens; "..." quotes a value (\" and \\ inside).
std::vector<std::string> Tokenize(const std::string& line) {
  std::vector<std::string> tokens;
  std::string cur;
  bool quoted = false, any = false;
  for (size_t i = 0; i < line.size(); ++i) {
    const char ch = line[i];
    if (quoted) {
      if (ch == '\\' && i + 1 < line.size() && (line[i + 1] == '"' || line[i + 1] == '\\')) {
        cur += line[++i];
      } else if (ch == '"') {
        quoted = false;
      } else {
        cur += ch;
      }
    } else if (ch == '"') {
      quoted = any = true;
    } else if (ch == ' ' || ch == '\t' || ch == '\r') {
      if (any) tokens.push_back(cur);
      cur.clear();
      any = false;
    } else {
      cur += ch;
      any = true;
    }
  }
  if (any) tokens.push_back(cur);
  return tokens;
}

// Groups tokens into commands: a token without "=" starts a new command.
std::vector<Command> Parse(const std::vector<std::string>& tokens) {
  std::vector<Command> cmds;
  for (const std::string& t : tokens) {
    const size_t eq = t.find('=');
    if (eq == std::string::npos) {
      cmds.push_back({t, {}});
    } else if (!cmds.empty()) {
      cmds.back().args[t.substr(0, eq)] = t.substr(eq + 1);
    } else {
      cmds.push_back({"?" + t, {}});
    }
  }
  return cmds;
}

}  // namespace

// Rectangles are read in pixels of the screen: on a display above 96 DPI an
// unaware driver would be handed them scaled down to 96 DPI ones.
void BecomeDpiAware() {
  HMODULE user32 = GetModuleHandleW(L"user32.dll");
  using SetContextFn = BOOL(WINAPI*)(HANDLE);
  auto set = reinterpret_cast<SetContextFn>(
      reinterpret_cast<void*>(GetProcAddress(user32, "SetProcessDpiAwarenessContext")));
  if (set && set(reinterpret_cast<HANDLE>(static_cast<intptr_t>(-4)))) return;  // per monitor (v2)
  SetProcessDPIAware();
}

int wmain(int argc, wchar_t** argv) {
  BecomeDpiAware();
  std::vector<std::string> tokens;
  std::string outPath;
  for (int i = 1; i < argc; ++i) {
    const std::string a = Utf8(argv[i]);
    if ((a == "/out" || a == "/script") && i + 1 < argc) {
      const std::string v = Utf8(argv[++i]);
      if (a == "/out") {
        outPath = v;
      } else {
        std::ifstream f(Utf16(v).c_str());
        if (!f) {
          std::fprintf(stderr, "error=cannot read script %s\n", v.c_str());
          return 1;
        }
        std::string line;
        while (std::getline(f, line)) {
          const size_t first = line.find_first_not_of(" \t\r");
          if (first == std::string::npos || line[first] == '#') continue;
          for (auto& t : Tokenize(line)) tokens.push_back(t);
        }
      }
    } else {
      tokens.push_back(a);
    }
  }
  FILE* out = stdout;
  if (!outPath.empty()) {
    out = _wfopen(Utf16(outPath).c_str(), L"wb");
    if (!out) return 1;
  }
  Driver d(out);
  int rc = 0;
  for (const Command& c : Parse(tokens)) {
    if (!d.Run(c)) {
      d.EndStarted();
      rc = 1;
      break;
    }
  }
  if (out != stdout) std::fclose(out);
  return rc;
}
