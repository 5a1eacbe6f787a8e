#include "runtime/service.h"

#include <cmath>
#include <cstdlib>
#include <map>

#include "gbk/runtime_texts.h"
#include "runtime/errors.h"
#include "runtime/memory.h"

namespace rt {

ValueRecord CallCommand(CommandFunction fn, int32_t argc, ValueRecord* args) {
  ValueRecord result;
  std::memset(&result, 0, sizeof result);
  fn(&result, argc, args);
  return result;
}

namespace {

std::map<int32_t, RequestHandler>& Handlers() {
  static std::map<int32_t, RequestHandler> h;
  return h;
}

// Request 2001: a numeric value as a 32-bit integer.
int32_t ToInt32Checked(const ValueRecord* v) {
  switch (v->tag) {
    case tag::Byte: return v->v.u8;
    case tag::Short: return v->v.i16;
    case tag::Int: return v->v.i32;
    case tag::Long: return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(v->v.i64)));
    case tag::Float: {
      const double d = std::trunc(static_cast<double>(v->v.f32));
      return std::isfinite(d) && d > -2147483649.0 && d < 2147483648.0 ? static_cast<int32_t>(d) : INT32_MIN;
    }
    case tag::Double: {
      const double d = std::trunc(v->v.f64);
      return std::isfinite(d) && d > -2147483649.0 && d < 2147483648.0 ? static_cast<int32_t>(d) : INT32_MIN;
    }
    default: ReportRuntimeError(gbk::NotNumeric, 0);
  }
}

[[noreturn]] void DefaultExitProgram(int32_t code) { std::_Exit(code); }

}  // namespace

RuntimeServiceTable g_services = {
    /*RaiseRuntimeError*/ RaiseRuntimeError,
    /*CallDllCommand*/ nullptr,
    /*CallLibraryCommand*/ CallCommand,
    /*CallCoreCommand*/ CallCommand,
    /*GetUnitProperty*/ nullptr,
    /*SetUnitProperty*/ nullptr,
    /*AllocMemory*/ AllocMemory,
    /*ReallocMemory*/ ReallocMemory,
    /*FreeMemory*/ FreeMemory,
    /*ExitProgram*/ DefaultExitProgram,
    /*RunMessageLoop*/ nullptr,
    /*LoadStartWindow*/ nullptr,
    /*CallOtherService*/ nullptr,
};

void InstallRequestHandler(int32_t code, RequestHandler handler) {
  if (handler) {
    Handlers()[code] = handler;
  } else {
    Handlers().erase(code);
  }
}

intptr_t RuntimeNotify(int32_t code, intptr_t p1, intptr_t p2) {
  switch (code) {
    case req::kToInt32: return ToInt32Checked(reinterpret_cast<const ValueRecord*>(p1));
    case req::kFreeArray: FreeArray(static_cast<TypeTag>(p1), reinterpret_cast<void*>(p2)); return 0;
    case req::kAlloc:
      return reinterpret_cast<intptr_t>(p2 ? AllocUnchecked(static_cast<size_t>(p1)) : AllocMemory(static_cast<size_t>(p1)));
    case req::kFree: FreeMemory(reinterpret_cast<void*>(p1)); return 0;
    case req::kRealloc: return reinterpret_cast<intptr_t>(ReallocMemory(reinterpret_cast<void*>(p1), static_cast<size_t>(p2)));
    case req::kReportError: ReportRuntimeError(reinterpret_cast<const char*>(p1), 0);
    case req::kExit: g_services.ExitProgram(static_cast<int32_t>(p1)); return 0;
    default: break;
  }
  auto it = Handlers().find(code);
  return it == Handlers().end() ? 0 : it->second(code, p1, p2);
}

}  // namespace rt
