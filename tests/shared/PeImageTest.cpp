#include <gtest/gtest.h>

#include "base/ProcessUtil.h"
#include "base/TextConvert.h"
#include "tests/support/TestEnvironment.h"

TEST(PeImage, OnlyTheTwoSignatureBytesCount) {
    ScratchFolder scratch;
    struct Case {
        const wchar_t* name;
        std::string bytes;
        bool valid;
    };
    const Case cases[] = {
        {L"empty.bin", "", false},        {L"m.bin", "M", false},
        {L"mz.bin", "MZ", true},          {L"mz-text.bin", "MZ is all it takes", true},
        {L"zm.bin", "ZM\x90\x00", false}, {L"lower.bin", "mz", false},
        {L"text.txt", "hello", false},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(WriteFileBytes(scratch / c.name, c.bytes));
        EXPECT_EQ(c.valid, IsValidPEImage(WideToRv(scratch / c.name))) << Narrow(c.name);
    }
    EXPECT_FALSE(IsValidPEImage(WideToRv(scratch / L"missing.dll")));
    EXPECT_FALSE(IsValidPEImage(WideToRv(scratch.Path())));
    EXPECT_TRUE(IsValidPEImage(WideToRv(BinFile(L"RvTestVersion.dll"))));
}
