#include "diagnostics/SehGuard.h"

#include <setjmp.h>

#include <cstddef>

#ifndef DBG_PRINTEXCEPTION_WIDE_C
#define DBG_PRINTEXCEPTION_WIDE_C ((DWORD)0x4001000A)
#endif

namespace {

// The registration record as the system walks it: the chain link and the
// handler come first. The CRT's longjmp looks at the record that was current
// at setjmp time as if a compiler-generated frame owned it and reads a "try
// level" at offset 12; -1 there means "no scopes" and keeps it from running
// anything. The rest is the guard's own state.
struct GuardFrame {
    EXCEPTION_REGISTRATION_RECORD* next;
    PEXCEPTION_ROUTINE handler;
    void* reserved;
    LONG tryLevel;
    jmp_buf jump;
    SehFilter filter;
    void* filterContext;
    volatile DWORD code;
};
static_assert(offsetof(GuardFrame, tryLevel) == 12, "try level slot must sit at offset 12");

// NtCurrentTeb reads the FS segment at a small offset, which GCC's bounds
// analysis mistakes for a null-page access once inlined.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Warray-bounds"
__attribute__((noinline)) NT_TIB* ThreadInfo() {
    return reinterpret_cast<NT_TIB*>(NtCurrentTeb());
}
#pragma GCC diagnostic pop

LONG AskFilter(const GuardFrame* frame, EXCEPTION_RECORD* record, CONTEXT* context) {
    if (!frame->filter)
        return EXCEPTION_EXECUTE_HANDLER;
    EXCEPTION_POINTERS pointers = {record, context};
    try {
        return frame->filter(record->ExceptionCode, &pointers, frame->filterContext);
    } catch (...) {
        // A C++ exception cannot travel through the system's dispatcher.
        return EXCEPTION_CONTINUE_SEARCH;
    }
}

// The system's dispatchers restore the stack pointer after calling a
// handler, so the calling convention the headers give it (stdcall) and the
// compilers' cdecl both work; this one matches the headers.
EXCEPTION_DISPOSITION NTAPI GuardHandler(EXCEPTION_RECORD* record,
                                         void* establisherFrame,
                                         CONTEXT* context,
                                         void* /*dispatcherContext*/) {
    // Unwind calls announce that the frame is being left; nested calls
    // mean the fault happened inside this frame's own filter.
    if (record->ExceptionFlags &
        (EXCEPTION_UNWINDING | EXCEPTION_EXIT_UNWIND | EXCEPTION_NESTED_CALL))
        return ExceptionContinueSearch;
    // OutputDebugString raises these for an attached debugger and handles
    // them itself.
    if (record->ExceptionCode == DBG_PRINTEXCEPTION_C ||
        record->ExceptionCode == DBG_PRINTEXCEPTION_WIDE_C)
        return ExceptionContinueSearch;

    GuardFrame* frame = static_cast<GuardFrame*>(establisherFrame);
    LONG verdict = AskFilter(frame, record, context);
    if (verdict < 0)
        return ExceptionContinueExecution;
    if (verdict == 0)
        return ExceptionContinueSearch;

    frame->code = record->ExceptionCode;
    // The CRT's longjmp first unwinds the SEH chain down to this record
    // (frames in between get their unwind call), then restores the guard's
    // registers and stack.
    longjmp(frame->jump, 1);
}

void Unlink(const GuardFrame& frame) {
    ThreadInfo()->ExceptionList = frame.next;
}

}  // namespace

__attribute__((noinline)) bool RunSehGuarded(SehBody body,
                                             void* bodyContext,
                                             SehFilter filter,
                                             void* filterContext,
                                             DWORD* exceptionCode) {
    GuardFrame frame;
    frame.handler = GuardHandler;
    frame.reserved = nullptr;
    frame.tryLevel = -1;
    frame.filter = filter;
    frame.filterContext = filterContext;
    frame.code = 0;
    frame.next = ThreadInfo()->ExceptionList;
    ThreadInfo()->ExceptionList = reinterpret_cast<EXCEPTION_REGISTRATION_RECORD*>(&frame);

    // setjmp runs with the record already linked: the jump back then unwinds
    // exactly the frames above it.
    if (setjmp(frame.jump) == 0) {
        try {
            body(bodyContext);
        } catch (...) {
            Unlink(frame);
            throw;
        }
        Unlink(frame);
        return true;
    }
    Unlink(frame);
    if (exceptionCode)
        *exceptionCode = frame.code;
    return false;
}

void* CurrentSehChain() {
    return ThreadInfo()->ExceptionList;
}
