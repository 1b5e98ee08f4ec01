#include "diagnostics/SehGuard.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

namespace {

// Faults the compiler cannot see through or fold away.
volatile ULONG_PTR g_lowAddress = 0x10;

void WriteToLowAddress() {
    *reinterpret_cast<volatile int*>(g_lowAddress) = 1;
}

int DivideBy(volatile int divisor) {
    volatile int dividend = 7;
    return dividend / divisor;
}

constexpr DWORD kCustomCode = 0xE0001234;

// Codes of the two hardware faults. Wine running under a user-mode CPU
// emulator (as on the build machine) reports a memory fault as an illegal
// instruction and an integer division by zero as an invalid floating-point
// operation; on real hardware they are the first codes.
bool IsMemoryFault(DWORD code) {
    return code == EXCEPTION_ACCESS_VIOLATION || code == EXCEPTION_ILLEGAL_INSTRUCTION;
}

bool IsDivisionFault(DWORD code) {
    return code == EXCEPTION_INT_DIVIDE_BY_ZERO || code == EXCEPTION_FLT_INVALID_OPERATION;
}

// A bare registration record of the test's own, below the guards under
// test: it counts what reaches it and lets continuable exceptions resume.
struct CountingFrame {
    EXCEPTION_REGISTRATION_RECORD record;
    DWORD lastCode = 0;
    int calls = 0;
};

// Links a record by hand (the FS segment read trips GCC's bounds analysis).
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Warray-bounds"
void SetSehChain(EXCEPTION_REGISTRATION_RECORD* head) {
    reinterpret_cast<NT_TIB*>(NtCurrentTeb())->ExceptionList = head;
}
#pragma GCC diagnostic pop

EXCEPTION_DISPOSITION NTAPI CountAndContinue(EXCEPTION_RECORD* record,
                                             void* frame,
                                             CONTEXT*,
                                             void*) {
    if (record->ExceptionFlags & (EXCEPTION_UNWINDING | EXCEPTION_EXIT_UNWIND))
        return ExceptionContinueSearch;
    CountingFrame* counting = static_cast<CountingFrame*>(frame);
    counting->lastCode = record->ExceptionCode;
    ++counting->calls;
    return ExceptionContinueExecution;
}

}  // namespace

TEST(SehGuard, CatchesFaultsRepeatedlyAndRestoresTheChain) {
    void* const chain = CurrentSehChain();
    for (int round = 0; round < 50; ++round) {
        DWORD code = 0;
        DWORD filterCode = 0;
        bool completed = SehTry(
            WriteToLowAddress,
            [&](DWORD exceptionCode, EXCEPTION_POINTERS* pointers) -> LONG {
                filterCode = pointers->ExceptionRecord->ExceptionCode;
                EXPECT_EQ(filterCode, exceptionCode);
                if (filterCode == EXCEPTION_ACCESS_VIOLATION) {
                    EXPECT_EQ(0x10u, pointers->ExceptionRecord->ExceptionInformation[1]);
                }
                return EXCEPTION_EXECUTE_HANDLER;
            },
            &code);
        ASSERT_FALSE(completed);
        ASSERT_TRUE(IsMemoryFault(code)) << std::hex << code;
        ASSERT_EQ(filterCode, code);
        ASSERT_EQ(chain, CurrentSehChain());

        volatile int quotient = -1;
        code = 0;
        completed = SehTry([&] { quotient = DivideBy(0); }, SehHandleAll, &code);
        ASSERT_FALSE(completed);
        ASSERT_TRUE(IsDivisionFault(code)) << std::hex << code;
        ASSERT_EQ(-1, quotient);
        ASSERT_EQ(chain, CurrentSehChain());
    }

    // A body that does not fault runs to its end, and the filter is not
    // asked.
    int steps = 0;
    bool asked = false;
    EXPECT_TRUE(SehTry([&] { steps = DivideBy(1); },
                       [&](DWORD, EXCEPTION_POINTERS*) -> LONG {
                           asked = true;
                           return EXCEPTION_EXECUTE_HANDLER;
                       }));
    EXPECT_EQ(7, steps);
    EXPECT_FALSE(asked);
    EXPECT_EQ(chain, CurrentSehChain());
}

TEST(SehGuard, FilterDecidesWhoHandles) {
    void* const chain = CurrentSehChain();

    // Continue search: the outer guard handles it, and the rest of the inner
    // body and of the outer body is skipped.
    std::string trail;
    DWORD outerCode = 0;
    bool outerCompleted = SehTry(
        [&] {
            bool innerCompleted = SehTry(
                [&] {
                    trail += "a";
                    RaiseException(kCustomCode, 0, 0, nullptr);
                    trail += "x";
                },
                [&](DWORD code, EXCEPTION_POINTERS*) -> LONG {
                    trail += code == kCustomCode ? "i" : "?";
                    return EXCEPTION_CONTINUE_SEARCH;
                });
            trail += innerCompleted ? "y" : "z";
        },
        [&](DWORD, EXCEPTION_POINTERS*) -> LONG {
            trail += "o";
            return EXCEPTION_EXECUTE_HANDLER;
        },
        &outerCode);
    EXPECT_FALSE(outerCompleted);
    EXPECT_EQ(kCustomCode, outerCode);
    EXPECT_EQ("aio", trail);
    EXPECT_EQ(chain, CurrentSehChain());

    // Execute handler in the inner guard: the outer body goes on and the
    // outer filter never hears of it.
    trail.clear();
    outerCompleted = SehTry(
        [&] {
            bool innerCompleted = SehTry(WriteToLowAddress, SehHandleAll);
            trail += innerCompleted ? "y" : "z";
            WriteToLowAddress();
            trail += "x";
        },
        [&](DWORD code, EXCEPTION_POINTERS*) -> LONG {
            trail += IsMemoryFault(code) ? "o" : "?";
            return EXCEPTION_EXECUTE_HANDLER;
        });
    EXPECT_FALSE(outerCompleted);
    EXPECT_EQ("zo", trail);
    EXPECT_EQ(chain, CurrentSehChain());

    // Continue execution: a continuable exception returns from
    // RaiseException and the body completes.
    trail.clear();
    EXPECT_TRUE(SehTry(
        [&] {
            RaiseException(kCustomCode, 0, 0, nullptr);
            trail += "after";
        },
        [](DWORD, EXCEPTION_POINTERS*) -> LONG { return EXCEPTION_CONTINUE_EXECUTION; }));
    EXPECT_EQ("after", trail);
    EXPECT_EQ(chain, CurrentSehChain());
}

TEST(SehGuard, FaultInsideAFilterGoesOutward) {
    void* const chain = CurrentSehChain();
    int innerFilterCalls = 0;
    DWORD outerCode = 0;
    bool outerCompleted = SehTry(
        [&] {
            SehTry([] { RaiseException(kCustomCode, 0, 0, nullptr); },
                   [&](DWORD, EXCEPTION_POINTERS*) -> LONG {
                       ++innerFilterCalls;
                       WriteToLowAddress();
                       return EXCEPTION_EXECUTE_HANDLER;
                   });
        },
        SehHandleAll, &outerCode);
    EXPECT_FALSE(outerCompleted);
    EXPECT_TRUE(IsMemoryFault(outerCode)) << std::hex << outerCode;
    EXPECT_EQ(1, innerFilterCalls);
    EXPECT_EQ(chain, CurrentSehChain());

    // A filter that throws a C++ exception passes the structured one on.
    outerCode = 0;
    outerCompleted = SehTry(
        [&] {
            SehTry(WriteToLowAddress,
                   [](DWORD, EXCEPTION_POINTERS*) -> LONG { throw std::runtime_error("filter"); });
        },
        SehHandleAll, &outerCode);
    EXPECT_FALSE(outerCompleted);
    EXPECT_TRUE(IsMemoryFault(outerCode)) << std::hex << outerCode;
    EXPECT_EQ(chain, CurrentSehChain());
}

TEST(SehGuard, DebuggerOutputNotificationsNeverReachTheFilter) {
    void* const chain = CurrentSehChain();
    int filterCalls = 0;
    auto counting = [&](DWORD, EXCEPTION_POINTERS*) -> LONG {
        ++filterCalls;
        return EXCEPTION_EXECUTE_HANDLER;
    };
    EXPECT_TRUE(SehTry(
        [] {
            OutputDebugStringA("SehGuard narrow notification\n");
            OutputDebugStringW(L"SehGuard wide notification\n");
        },
        counting));
    EXPECT_EQ(0, filterCalls);

    // Raised directly, they pass the guard and reach the next handler out.
    CountingFrame outer;
    outer.record.Next = static_cast<EXCEPTION_REGISTRATION_RECORD*>(CurrentSehChain());
    outer.record.Handler = CountAndContinue;
    SetSehChain(&outer.record);
    for (DWORD notification : {static_cast<DWORD>(DBG_PRINTEXCEPTION_C), 0x4001000Aul}) {
        EXPECT_TRUE(SehTry(
            [&] {
                const char text[] = "raised\n";
                ULONG_PTR arguments[2] = {sizeof(text), reinterpret_cast<ULONG_PTR>(text)};
                RaiseException(notification, 0, 2, arguments);
            },
            counting));
        EXPECT_EQ(notification, outer.lastCode);
    }
    SetSehChain(outer.record.Next);
    EXPECT_EQ(2, outer.calls);
    EXPECT_EQ(0, filterCalls);
    EXPECT_EQ(chain, CurrentSehChain());
}

TEST(SehGuard, CppExceptionsWorkInsideAndAroundTheGuard) {
    void* const chain = CurrentSehChain();

    // Thrown and caught inside the body.
    std::string caught;
    EXPECT_TRUE(SehTry(
        [&] {
            try {
                throw std::runtime_error("inside");
            } catch (const std::exception& e) {
                caught = e.what();
            }
        },
        SehHandleAll));
    EXPECT_EQ("inside", caught);
    EXPECT_EQ(chain, CurrentSehChain());

    // Thrown out of the body: it passes through the guard, which unlinks
    // its record on the way.
    caught.clear();
    void* chainAtCatch = nullptr;
    try {
        SehTry([] { throw std::runtime_error("through"); }, SehHandleAll);
    } catch (const std::exception& e) {
        caught = e.what();
        chainAtCatch = CurrentSehChain();
    }
    EXPECT_EQ("through", caught);
    EXPECT_EQ(chain, chainAtCatch);

    // After guards have fired (their jumps skipped compiler frames), the
    // C++ unwinder still finds its way through new frames.
    for (int round = 0; round < 3; ++round) {
        EXPECT_FALSE(SehTry(WriteToLowAddress, SehHandleAll));
        caught.clear();
        try {
            SehTry(
                [] {
                    std::string owned(100, 'x');
                    throw std::logic_error(owned.substr(0, 5));
                },
                SehHandleAll);
        } catch (const std::logic_error& e) {
            caught = e.what();
        }
        EXPECT_EQ("xxxxx", caught);
    }
    EXPECT_EQ(chain, CurrentSehChain());
}
