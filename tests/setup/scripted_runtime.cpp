#include "tests/setup/scripted_runtime.h"

#include <cstring>

#include "libs/data/data_library.h"
#include "runtime/args.h"
#include "runtime/commands.h"
#include "runtime/memory.h"
#include "runtime/service.h"
#include "setup/logic/question.h"
#include "setup/logic/runtime_facade.h"
#include "setup/logic/window_ids.h"

namespace scripted {
namespace {

using rt::ValueRecord;

State g_state;
struct EventUnit {
  uint32_t window = 0, unit = 0;
  rt::TypeTag tag = 0;
} g_eventUnit;

std::string Arg(int32_t argc, ValueRecord* a, int i) { return rt::args::Text(argc, a, i); }
void ReturnText(ValueRecord* r, const std::string& s) { r->v.text = rt::CopyText(s.c_str()); }
// The folder a path is in, as the system parses GBK paths: a two-byte
// character whose trail byte is 0x5C is no separator.
std::string Parent(const std::string& p) {
  size_t k = std::string::npos;
  for (size_t i = 0; i < p.size();) {
    const unsigned char c = static_cast<unsigned char>(p[i]);
    if (c == '\\') k = i;
    i += (c >= 0x81 && c <= 0xFE && i + 1 < p.size()) ? 2 : 1;
  }
  return k == std::string::npos ? "" : p.substr(0, k);
}

std::string g_lastError = "denied (5)";

// A path the confinement refuses: below the confining folder and at or below
// one of the links.
bool ThroughLink(const std::string& p) {
  const std::string& root = g_state.confinedTo;
  if (root.empty() || p.compare(0, root.size() + 1, root + "\\") != 0) return false;
  for (std::string at = p; at.size() >= root.size(); at = Parent(at)) {
    if (g_state.links.count(at)) {
      g_lastError = "link (681)";
      return true;
    }
  }
  return false;
}

// ---- system commands ----
void ConfineWrites(ValueRecord* r, int32_t argc, ValueRecord* a) {
  g_state.confinedTo = Arg(argc, a, 0);
  g_state.confinements.push_back(g_state.confinedTo);
  r->v.i32 = !g_state.links.count(g_state.confinedTo);
}
void CreateDirectory(ValueRecord* r, int32_t argc, ValueRecord* a) {
  const std::string p = Arg(argc, a, 0);
  g_lastError = "denied (5)";
  if (ThroughLink(p)) return;
  const bool ok = !g_state.dirs.count(p) && !g_state.files.count(p) && (g_state.dirs.count(Parent(p)) || Parent(p).size() == 2);
  if (ok) {
    g_state.dirs.insert(p);
    g_state.createdDirs.push_back(p);
  }
  r->v.i32 = ok;
}
void FileExists(ValueRecord* r, int32_t argc, ValueRecord* a) {
  const std::string p = Arg(argc, a, 0);
  r->v.i32 = g_state.files.count(p) || g_state.dirs.count(p);
}
void WriteFile(ValueRecord* r, int32_t argc, ValueRecord* a) {
  const std::string p = Arg(argc, a, 0);
  g_lastError = "denied (5)";
  if (ThroughLink(p)) return;
  if (p.empty() || g_state.unwritable.count(p) || !g_state.dirs.count(Parent(p))) return;
  std::string data;
  for (int i = 1; i < argc; ++i) {
    const void* b = a[i].v.ptr;
    if (rt::ByteSetLength(b) > 0) data.append(reinterpret_cast<const char*>(rt::ByteSetData(b)), rt::ByteSetLength(b));
  }
  g_state.files[p] = data;
  r->v.i32 = 1;
}
void WriteFileBytes(ValueRecord* r, int32_t argc, ValueRecord* a) {
  const std::string p = Arg(argc, a, 0);
  const bool append = argc > 3 && a[3].v.i32 != 0;
  g_lastError = "denied (5)";
  if (ThroughLink(p)) return;
  if (p.empty() || g_state.unwritable.count(p) || !g_state.dirs.count(Parent(p))) return;
  if (append && !g_state.files.count(p)) return;
  const std::string data(static_cast<const char*>(a[1].v.ptr), static_cast<size_t>(rt::args::Int(argc, a, 2, 0)));
  if (append) g_state.files[p] += data;
  else g_state.files[p] = data;
  ++g_state.partWrites;
  r->v.i32 = 1;
}
void WriteIniItem(ValueRecord* r, int32_t argc, ValueRecord* a) {
  const std::string file = Arg(argc, a, 0), section = Arg(argc, a, 1), key = Arg(argc, a, 2);
  g_lastError = "denied (5)";
  if (ThroughLink(file)) return;
  g_state.ini[file][section][key] = Arg(argc, a, 3);
  g_state.iniOrder.push_back(section + "/" + key);
  r->v.i32 = 1;
}
void WriteRegistryItem(ValueRecord* r, int32_t argc, ValueRecord* a) {
  // Numbers are written as REG_DWORD, texts as REG_SZ.
  const std::string value = a[2].tag == rt::tag::Int ? "dword:" + std::to_string(a[2].v.i32) : Arg(argc, a, 2);
  g_state.registry[std::to_string(rt::args::Int(argc, a, 0, 0)) + ":" + Arg(argc, a, 1)] = value;
  r->v.i32 = 1;
}
void RecordStart(const char* by, const std::string& path) {
  const auto f = g_state.files.find(path);
  g_state.productStarts.push_back(std::string(by) + "|" + path + "|" + (f == g_state.files.end() ? "(none)" : f->second));
}
// The quoted names on a batch line, with cmd's "%%" read as "%".
std::vector<std::string> QuotedNames(const std::string& line) {
  std::vector<std::string> names;
  for (size_t open = line.find('"'); open != std::string::npos; open = line.find('"', open)) {
    const size_t close = line.find('"', open + 1);
    if (close == std::string::npos) break;
    std::string name = line.substr(open + 1, close - open - 1);
    for (size_t k = name.find("%%"); k != std::string::npos; k = name.find("%%", k + 1)) name.erase(k, 1);
    names.push_back(name);
    open = close + 1;
  }
  return names;
}
// What cmd does with a swap batch in the directory dir: del, ren and start on
// the recorded files (Taskkill and the batch's own deletion change nothing here).
void CarryOutBatch(const std::string& text, const std::string& dir) {
  for (size_t at = 0; at <= text.size();) {
    size_t end = text.find("\r\n", at);
    if (end == std::string::npos) end = text.size();
    const std::string line = text.substr(at, end - at);
    at = end + 2;
    const std::vector<std::string> n = QuotedNames(line);
    if (line.rfind("del ", 0) == 0 && n.size() == 1) {
      g_state.files.erase(dir + "\\" + n[0]);
    } else if (line.rfind("ren ", 0) == 0 && n.size() == 2) {
      const std::string from = dir + "\\" + n[0], to = Parent(from) + "\\" + n[1];
      if (g_state.files.count(from) && !g_state.files.count(to)) {
        g_state.files[to] = g_state.files[from];
        g_state.files.erase(from);
      }
    } else if (line.rfind("start ", 0) == 0 && n.size() == 2) {
      RecordStart("batch", dir + "\\" + n[1]);
    }
  }
}
void RunProgram(ValueRecord* r, int32_t argc, ValueRecord* a) {
  const std::string line = Arg(argc, a, 0), dir = Arg(argc, a, 3);
  std::string run = line + "|" + std::to_string(rt::args::Int(argc, a, 2, 2));
  if (argc > 3) run += "|" + dir;  // the working directory
  const bool limited = rt::args::Bool(argc, a, 1, false) && rt::args::Int(argc, a, 4, 0) > 0;
  if (limited) run += "|" + std::to_string(rt::args::Int(argc, a, 4, 0));
  g_state.programsRun.push_back(run);
  r->v.i32 = 1;
  const size_t call = line.find("call \""), batchEnd = line.find("\" & rd");
  if (call == std::string::npos || batchEnd == std::string::npos) return;
  if (limited && !g_state.batchEnds) {
    r->v.i32 = 0;  // still running when the wait gave up
    return;
  }
  const auto batch = g_state.files.find(line.substr(call + 6, batchEnd - call - 6));
  if (batch != g_state.files.end()) CarryOutBatch(batch->second, dir);
}
void MessageBox(ValueRecord* r, int32_t argc, ValueRecord* a) {
  char* text = rt::ValueToText(a[0]);
  g_state.messageBoxes.push_back(Arg(argc, a, 2) + "|" + (text ? text : "") + "|" + std::to_string(rt::args::Int(argc, a, 1, 0)));
  rt::FreeMemory(text);
}
void GetRunDirectory(ValueRecord* r, int32_t, ValueRecord*) { ReturnText(r, g_state.runDirectory); }
void GetExeFileName(ValueRecord* r, int32_t, ValueRecord*) { ReturnText(r, g_state.exeFileName); }

// ---- windows ----
void LoadWindow(ValueRecord* r, int32_t argc, ValueRecord* a) {
  const uint32_t window = a[0].v.words[0];
  g_state.loads.push_back(std::to_string(window));
  r->v.i32 = 1;
  if (window != ids::kQuestion) return;
  setup::OnQuestionCreated();
  setup::OnQuestionResized();
  const int answer = g_state.answers.empty() ? 1 : g_state.answers.front();
  if (!g_state.answers.empty()) g_state.answers.erase(g_state.answers.begin());
  if (answer == 0) {
    setup::OnQuestionDestroyed();
    return;
  }
  const uint32_t buttons[3] = {ids::question::kButton1, ids::question::kButton2, ids::question::kButton3};
  g_eventUnit = {ids::kQuestion, buttons[answer - 1], rt::tag::Button};
  setup::OnQuestionButton();
  g_eventUnit = {};
}
void UnloadWindow(ValueRecord*, int32_t, ValueRecord* a) {
  const uint32_t window = a[0].v.words[0];
  g_state.unloads.push_back(std::to_string(window));
  if (window == ids::kQuestion) setup::OnQuestionDestroyed();
}
void GetClientWidth(ValueRecord* r, int32_t, ValueRecord* a) {
  r->v.i32 = IntProp(a[0].v.words[0], a[0].v.words[1], 2) - 6;
}
void GetClientHeight(ValueRecord* r, int32_t, ValueRecord* a) {
  r->v.i32 = IntProp(a[0].v.words[0], a[0].v.words[1], 3) - 28;
}
// As the unit shows the text: a character at a time, a two-byte character as
// one character of its own width (not as two single-byte ones).
void MeasureUnitText(ValueRecord* r, int32_t argc, ValueRecord* a) {
  g_state.measuredUnits.emplace_back(a[0].v.words[0], a[0].v.words[1]);
  const std::string text = Arg(argc, a, 1);
  int32_t width = 0;
  for (size_t i = 0; i < text.size();) {
    const bool twoBytes = static_cast<unsigned char>(text[i]) >= 0x81 && i + 1 < text.size();
    width += twoBytes ? g_state.textWidthPerWideChar : g_state.textWidthPerByte;
    i += twoBytes ? 2 : 1;
  }
  r->v.words[0] = static_cast<uint32_t>(width);
  r->v.words[1] = static_cast<uint32_t>(g_state.textHeight);
}
void UnitDpi(ValueRecord* r, int32_t, ValueRecord*) { r->v.i32 = g_state.dpi; }
void SetFocus(ValueRecord*, int32_t, ValueRecord* a) { g_state.focus.emplace_back(a[0].v.words[0], a[0].v.words[1], 0); }
void GetEventUnit(ValueRecord* r, int32_t, ValueRecord*) {
  if (!g_eventUnit.window) throw RuntimeError{0};
  r->v.words[0] = g_eventUnit.window;
  r->v.words[1] = g_eventUnit.unit;
  r->tag = g_eventUnit.tag;
}
void RedirectUnitEvents(ValueRecord* r, int32_t, ValueRecord*) { r->v.i32 = 1; }
void ProcessEvents(ValueRecord*, int32_t, ValueRecord*) {}

// ---- shell ----
void GetSpecialFolder(ValueRecord* r, int32_t argc, ValueRecord* a) {
  switch (rt::args::Int(argc, a, 0, 0)) {
    case 3: ReturnText(r, "C:\\Users\\u\\Desktop\\"); break;
    case 10: ReturnText(r, g_state.systemDirectory); break;
    case 11: ReturnText(r, "C:\\Users\\u\\Temp\\"); break;
    default: ReturnText(r, "");
  }
}
void Record(const char* what, int32_t argc, ValueRecord* a) {
  std::string s = what;
  for (int i = 0; i < argc; ++i) {
    s += "|";
    if (a[i].tag == rt::tag::Text) s += a[i].v.text ? a[i].v.text : "";
    else if (a[i].tag == 0) s += "-";
    else s += std::to_string(a[i].v.i32);
  }
  g_state.shell.push_back(s);
}
void CreateShortcut(ValueRecord* r, int32_t argc, ValueRecord* a) { Record("shortcut", argc, a); r->v.i32 = 1; }
void CreateProgramGroup(ValueRecord* r, int32_t argc, ValueRecord* a) { Record("group", argc, a); r->v.i32 = 1; }
void CreateGroupShortcut(ValueRecord* r, int32_t argc, ValueRecord* a) { Record("groupshortcut", argc, a); r->v.i32 = 1; }
void BrowseForFolder(ValueRecord* r, int32_t, ValueRecord*) { ReturnText(r, g_state.browseResult); }
void ExecuteShellOperation(ValueRecord*, int32_t argc, ValueRecord* a) {
  Record("execute", argc, a);
  RecordStart("shell", Arg(argc, a, 1));
}
void ExecuteAsDesktopUser(ValueRecord* r, int32_t argc, ValueRecord* a) {
  g_state.desktopUserStartsAsked.push_back(Arg(argc, a, 0) + "|" + Arg(argc, a, 1));
  r->v.i32 = g_state.desktopUserStarts;
  if (g_state.desktopUserStarts) RecordStart("desktop user", Arg(argc, a, 0));
}

// ---- log ----
void OpenLog(ValueRecord* r, int32_t argc, ValueRecord* a) {
  g_state.logPath = Arg(argc, a, 0);
  r->v.i32 = g_state.logOpens;
}
void AppendLogLine(ValueRecord* r, int32_t argc, ValueRecord* a) {
  g_state.log.push_back(Arg(argc, a, 0));
  r->v.i32 = 1;
}
void LastErrorText(ValueRecord* r, int32_t, ValueRecord*) { ReturnText(r, g_lastError); }

// ---- services ----
uint64_t GetUnitProperty(uint32_t w, uint32_t u, int32_t p, int32_t) {
  auto key = std::make_tuple(w, u, p);
  if (auto it = g_state.textProps.find(key); it != g_state.textProps.end()) {
    return reinterpret_cast<uintptr_t>(rt::CopyText(it->second.c_str()));
  }
  return static_cast<uint32_t>(IntProp(w, u, p, 0));
}

bool IsTextProperty(uint32_t w, uint32_t u, int32_t p) {
  if (p == 4) return true;                         // Tag
  if (p == 8) {                                    // captions, edit content, label captions
    return !(w == ids::kReady && u == ids::ready::kTimer);
  }
  if (p == 10) {                                   // button caption, but picture on picture boxes
    return !(u == ids::welcome::kPicture || u == ids::directory::kBanner || u == ids::ready::kBanner);
  }
  return false;
}

void SetUnitProperty(uint32_t w, uint32_t u, int32_t p, int32_t, uint64_t value) {
  auto key = std::make_tuple(w, u, p);
  if (IsTextProperty(w, u, p)) {
    const char* s = reinterpret_cast<const char*>(static_cast<uintptr_t>(value));
    g_state.textProps[key] = s ? s : "";
  } else if (p == 10) {
    const void* block = reinterpret_cast<const void*>(static_cast<uintptr_t>(value));
    g_state.textProps[key] = rt::ByteSetLength(block) > 0
                                 ? std::string(reinterpret_cast<const char*>(rt::ByteSetData(block)), rt::ByteSetLength(block))
                                 : std::string();
  } else {
    int32_t v = static_cast<int32_t>(value);
    if (w == ids::kQuestion && u == ids::question::kSelf && p == 2 && g_state.questionWidthCap > 0 &&
        v > g_state.questionWidthCap) {
      v = g_state.questionWidthCap;
    }
    g_state.intProps[key] = v;
  }
}

void RaiseError(int32_t code) { throw RuntimeError{code}; }
void ExitProgram(int32_t code) { throw ExitCalled{code}; }

intptr_t OtherService(int32_t, intptr_t, intptr_t, intptr_t, intptr_t) { return 0; }

// ---- declared DLL commands ----
void* FindResourceA(void*, const char* name, const char* type) {
  return g_state.hasResource && reinterpret_cast<intptr_t>(name) == 1000 && reinterpret_cast<intptr_t>(type) == 10
             ? &g_state
             : nullptr;
}
uint32_t SizeofResource(void*, void*) { return static_cast<uint32_t>(g_state.resource.size()); }
void* LoadResource(void*, void*) { return g_state.resource.data(); }

void* DllCommand(int32_t index) {
  switch (index) {
    case setup::kFindResourceA: return reinterpret_cast<void*>(&FindResourceA);
    case setup::kSizeofResource: return reinterpret_cast<void*>(&SizeofResource);
    case setup::kLoadResource: return reinterpret_cast<void*>(&LoadResource);
    default: return nullptr;
  }
}

}  // namespace

State& S() { return g_state; }

int32_t IntProp(uint32_t window, uint32_t unit, int32_t property, int32_t fallback) {
  auto it = g_state.intProps.find(std::make_tuple(window, unit, property));
  return it == g_state.intProps.end() ? fallback : it->second;
}

std::string TextProp(uint32_t window, uint32_t unit, int32_t property) {
  auto it = g_state.textProps.find(std::make_tuple(window, unit, property));
  return it == g_state.textProps.end() ? std::string("<unset>") : it->second;
}

void Reset() {
  g_state = State();
  g_lastError = "denied (5)";
  g_eventUnit = {};
  using namespace ids::question;
  // The question box's template values the logic reads.
  g_state.intProps[{ids::kQuestion, kSelf, 2}] = 271;
  g_state.intProps[{ids::kQuestion, kSelf, 3}] = 137;
  for (uint32_t b : {kButton1, kButton2, kButton3}) {
    g_state.intProps[{ids::kQuestion, b, 2}] = 70;
    g_state.intProps[{ids::kQuestion, b, 3}] = 28;
  }
  g_state.textProps[{ids::kQuestion, kButton1, 4}] = "1";
  g_state.textProps[{ids::kQuestion, kButton2, 4}] = "2";
  g_state.textProps[{ids::kQuestion, kButton3, 4}] = "3";
  g_state.intProps[{ids::kReady, ids::ready::kDesktop, 18}] = 1;
  g_state.intProps[{ids::kReady, ids::ready::kMenu, 18}] = 1;
  g_state.dirs.insert("C:");
  g_state.dirs.insert("C:\\Temp");
  g_state.dirs.insert("C:\\Users");
  g_state.dirs.insert("C:\\Users\\u");
  g_state.dirs.insert("C:\\Users\\u\\Temp");
}

void Install() {
  Reset();
  rt::g_services.RaiseRuntimeError = RaiseError;
  rt::g_services.ExitProgram = ExitProgram;
  rt::g_services.GetUnitProperty = GetUnitProperty;
  rt::g_services.SetUnitProperty = SetUnitProperty;
  rt::g_services.CallOtherService = OtherService;
  rt::g_services.CallDllCommand = DllCommand;
  datalib::LibraryNotify(rt::req::kInit, reinterpret_cast<intptr_t>(&rt::RuntimeNotify), 0);
  // The runtime's own text commands and inflater; everything that reaches the
  // system or a window is scripted above, under the command's own name.
  namespace commands_text = rt::cmd;
  namespace commands_data = datalib;
  namespace commands_system = scripted;
  namespace commands_window = scripted;
  namespace commands_shell = scripted;
#define SCRIPTED_BIND_COMMAND(part, name) .name = commands_##part::name,
  setup::g_cmd = setup::CommandTable{SETUP_COMMANDS(SCRIPTED_BIND_COMMAND)};
#undef SCRIPTED_BIND_COMMAND
}

int32_t RunUntilExit(const std::function<void()>& fn) {
  try {
    fn();
  } catch (const ExitCalled& e) {
    return e.code;
  }
  return -1000;
}

}  // namespace scripted
