// A declared DLL command as the program logic calls it: the index of the
// command in the program's DLL table and its signature. The call resolves the
// command through slot 1 of the service table (binding it on first use) and
// calls it with the arguments unchanged. On 32-bit x86 the commands use the
// stdcall convention, and a call that leaves the stack elsewhere than a
// stdcall function would (a wrong declaration) is runtime error 6.
#pragma once
#include <cstdint>
#include <cstring>
#include <type_traits>

#include "runtime/service.h"

#if defined(__i386__)
// Pushes count words (words[0] last, so it is the first argument), calls fn
// and stores edx:eax in intResult and, when fpResult is not null, st(0) there.
// Returns 1 when the stack pointer after the call is not where a function that
// removes its own arguments leaves it; the stack is restored either way.
extern "C" uint32_t rt_call_stdcall_i686(void* fn, const uint32_t* words, uint32_t count, uint64_t* intResult,
                                         double* fpResult);
#endif

namespace rt::win32 {

template <typename Signature>
class DllCommand;

template <typename R, typename... A>
class DllCommand<R(A...)> {
 public:
  explicit constexpr DllCommand(int32_t index) : index_(index) {}
  int32_t Index() const { return index_; }

  R operator()(A... args) const {
    void* fn = g_services.CallDllCommand(index_);
#if defined(__i386__)
    return CallChecked(fn, args...);
#else
    return reinterpret_cast<R (*)(A...)>(fn)(args...);
#endif
  }

 private:
#if defined(__i386__)
  static_assert((... && std::is_trivially_copyable_v<A>), "DLL command arguments are plain values");
  static_assert((... && (sizeof(A) <= 8)), "DLL command arguments are at most 8 bytes");
  static_assert(std::is_void_v<R> || (std::is_trivially_copyable_v<R> && sizeof(R) <= 8),
                "DLL command results are plain values of at most 8 bytes");
  template <typename T>
  static constexpr uint32_t WordsOf() { return (sizeof(T) + 3) / 4; }
  static constexpr uint32_t kWords = (0u + ... + WordsOf<A>());

  static R CallChecked(void* fn, A... args) {
    uint32_t words[kWords ? kWords : 1] = {};
    uint32_t at = 0;
    ((std::memcpy(&words[at], &args, sizeof(A)), at += WordsOf<A>()), ...);
    uint64_t intResult = 0;
    double fpResult = 0;
    constexpr bool kFloat = std::is_floating_point_v<R>;
    if (rt_call_stdcall_i686(fn, words, kWords, &intResult, kFloat ? &fpResult : nullptr)) {
      g_services.RaiseRuntimeError(6);
    }
    if constexpr (std::is_void_v<R>) {
      return;
    } else if constexpr (kFloat) {
      return static_cast<R>(fpResult);
    } else {
      R r;
      std::memcpy(&r, &intResult, sizeof(R));
      return r;
    }
  }
#endif
  int32_t index_;
};

}  // namespace rt::win32
