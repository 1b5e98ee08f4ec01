// A structured-exception guard for 32-bit code built with GCC, which has no
// __try/__except: it links an exception registration record into the
// thread's SEH chain by hand, runs a body, and when a structured exception
// (an access violation, a division by zero, RaiseException) reaches the
// record, asks a filter what to do. When the filter answers
// EXCEPTION_EXECUTE_HANDLER, control comes back to the guard, which reports
// that it fired.
//
//   DWORD code = 0;
//   bool completed = SehTry([&] { Risky(); },
//                           [](DWORD c, EXCEPTION_POINTERS*) -> LONG {
//                               return EXCEPTION_EXECUTE_HANDLER;
//                           },
//                           &code);
//
// Rules:
// - The filter answers EXCEPTION_EXECUTE_HANDLER (the guard fires),
//   EXCEPTION_CONTINUE_SEARCH (outer handlers see the exception) or
//   EXCEPTION_CONTINUE_EXECUTION (the faulting code resumes). A filter must
//   not throw; a C++ exception from it counts as EXCEPTION_CONTINUE_SEARCH.
// - A fault inside the filter itself never comes back to the same filter;
//   guard the filter's own risky work with a guard of its own.
// - When the guard fires, the frames between the fault and the guard are
//   abandoned: their structured-exception handlers see the usual unwind
//   call, but destructors of C++ objects in them do not run (the compiler's
//   unwinder does not hook into the SEH chain). Keep owning objects outside
//   the body or in the caller.
// - Debugger-output notifications (OutputDebugString raises them) never
//   reach the filter.
// - C++ exceptions pass through the guard unchanged; the record is unlinked
//   on every way out.
#pragma once

#include <windows.h>

using SehBody = void (*)(void* context);
using SehFilter = LONG (*)(DWORD code, EXCEPTION_POINTERS* pointers, void* context);

// Runs body(bodyContext) under the guard. True when the body returned (or
// threw a C++ exception, which propagates); false when the guard fired, and
// then *exceptionCode (when given) holds the exception's code. A null
// filter handles every exception.
bool RunSehGuarded(SehBody body,
                   void* bodyContext,
                   SehFilter filter,
                   void* filterContext,
                   DWORD* exceptionCode = nullptr);

// The same with callables (lambdas, functions): body() and
// filter(code, pointers) -> LONG.
template <typename Body, typename Filter>
bool SehTry(Body&& body, Filter&& filter, DWORD* exceptionCode = nullptr) {
    auto run = [&body]() { body(); };
    auto ask = [&filter](DWORD code, EXCEPTION_POINTERS* pointers) -> LONG {
        return filter(code, pointers);
    };
    using Run = decltype(run);
    using Ask = decltype(ask);
    return RunSehGuarded([](void* context) { (*static_cast<Run*>(context))(); }, &run,
                         [](DWORD code, EXCEPTION_POINTERS* pointers, void* context) -> LONG {
                             return (*static_cast<Ask*>(context))(code, pointers);
                         },
                         &ask, exceptionCode);
}

// Filter that handles every structured exception.
inline LONG SehHandleAll(DWORD, EXCEPTION_POINTERS*) {
    return EXCEPTION_EXECUTE_HANDLER;
}

// Head of the calling thread's SEH chain; tests compare it before and after.
void* CurrentSehChain();
