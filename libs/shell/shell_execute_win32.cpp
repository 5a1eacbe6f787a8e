// ExecuteShellOperation: opens, edits, prints... a file through its shell
// association, or starts a program.
#include <iterator>

#include "libs/shell/shell_internal_win32.h"
#include "libs/shell/shell_library.h"

namespace shell {
namespace {

struct Verb {
  int32_t value;
  const wchar_t* verb;
};
constexpr Verb kVerbs[] = {
    {1, L"edit"}, {2, L"explore"}, {3, L"find"}, {4, L"open"}, {5, L"print"},
};

// Display modes 1-6; anything else shows the window normally.
constexpr int kShowCommands[] = {SW_HIDE, SW_SHOWNORMAL, SW_SHOWMINIMIZED, SW_SHOWMAXIMIZED, SW_SHOWNA, SW_MINIMIZE};

const wchar_t* VerbOf(std::optional<int32_t> value) {
  if (!value) return nullptr;
  for (const Verb& v : kVerbs) {
    if (v.value == *value) return v.verb;
  }
  return nullptr;  // the file's default action
}

int ShowCommandOf(std::optional<int32_t> mode) {
  if (!mode || *mode < 1 || *mode > static_cast<int32_t>(std::size(kShowCommands))) return SW_SHOWNORMAL;
  return kShowCommands[*mode - 1];
}

}  // namespace

void ExecuteShellOperation(rt::ValueRecord* result, int32_t argc, rt::ValueRecord* args) {
  const auto file = detail::WideArg(argc, args, 1);
  if (!file || file->empty()) return;
  std::optional<std::wstring> parameters, directory;
  if (detail::TextArg(argc, args, 2) && !(parameters = detail::WideArg(argc, args, 2))) return;
  if (detail::TextArg(argc, args, 3) && !(directory = detail::WideArg(argc, args, 3))) return;
  const wchar_t* params = parameters && !parameters->empty() ? parameters->c_str() : nullptr;
  const wchar_t* dir = directory && !directory->empty() ? directory->c_str() : nullptr;
  // The shell's answer is not passed on: the command has no result.
  if (auto* execute = detail::g_shellExecute.get())
    execute(nullptr, VerbOf(detail::IntArg(argc, args, 0)), file->c_str(), params, dir,
            ShowCommandOf(detail::IntArg(argc, args, 4)));
}

}  // namespace shell
