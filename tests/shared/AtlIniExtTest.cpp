#include <gtest/gtest.h>

#include <memory>

#include "base/AtlIniExt.h"
#include "base/ScopedHandle.h"
#include "base/TextConvert.h"
#include "tests/support/TestEnvironment.h"

namespace {

// One INI file in a scratch folder, written as raw bytes.
class AtlIniExtTest : public testing::Test {
protected:
    void Write(const std::string& content) { ASSERT_TRUE(WriteFileBytes(m_file, content)); }

    ScratchFolder m_scratch;
    std::wstring m_file = m_scratch / L"Config.ini";
};

}  // namespace

TEST_F(AtlIniExtTest, GetString) {
    const std::string longValue(400, 'v');
    Write("[Config]\r\nname=value\r\nempty=\r\nlong=" + longValue + "\r\n");
    CAtlIniExt ini(m_file);
    EXPECT_EQ(RvToWide(ini.GetFileName()), m_file);
    EXPECT_EQ(RvString(RV_T("value")), ini.GetString(RV_T("Config"), RV_T("name")));
    // Sections and keys match without regard to case.
    EXPECT_EQ(RvString(RV_T("value")), ini.GetString(RV_T("config"), RV_T("NAME"), RV_T("d")));
    // An empty value reads as the default.
    EXPECT_EQ(RvString(RV_T("d")), ini.GetString(RV_T("Config"), RV_T("empty"), RV_T("d")));
    EXPECT_EQ(RvString(), ini.GetString(RV_T("Config"), RV_T("empty")));
    EXPECT_EQ(RvString(RV_T("d")), ini.GetString(RV_T("Config"), RV_T("missing"), RV_T("d")));
    EXPECT_EQ(RvString(), ini.GetString(RV_T("Other"), RV_T("name")));
    // Values come back cut to the buffer.
    EXPECT_EQ(RvString(299, RV_T('v')), ini.GetString(RV_T("Config"), RV_T("long")));
}

TEST_F(AtlIniExtTest, GetInt) {
    Write("[config]\r\nnum=42\r\nneg= -7\r\nmixed=12abc\r\nletters=abc\r\nempty=\r\n");
    CAtlIniExt ini(m_file);
    EXPECT_EQ(42, ini.GetInt(RV_T("config"), RV_T("num"), 5));
    EXPECT_EQ(-7, ini.GetInt(RV_T("config"), RV_T("neg"), 5));
    EXPECT_EQ(12, ini.GetInt(RV_T("config"), RV_T("mixed"), 5));
    EXPECT_EQ(0, ini.GetInt(RV_T("config"), RV_T("letters"), 5));
    EXPECT_EQ(5, ini.GetInt(RV_T("config"), RV_T("empty"), 5));
    EXPECT_EQ(-3, ini.GetInt(RV_T("config"), RV_T("missing"), -3));

    CAtlIniExt missingFile(m_scratch / L"none.ini");
    EXPECT_EQ(9, missingFile.GetInt(RV_T("config"), RV_T("num"), 9));
    EXPECT_EQ(RvString(RV_T("d")), missingFile.GetString(RV_T("config"), RV_T("num"), RV_T("d")));
}

TEST_F(AtlIniExtTest, UnboundObjectReadsNothing) {
    Write("[config]\r\nnum=42\r\n");
    CAtlIniExt unbound;
    EXPECT_EQ(RvString(), unbound.GetString(RV_T("config"), RV_T("num"), RV_T("d")));
    EXPECT_EQ(0, unbound.GetInt(RV_T("config"), RV_T("num"), 5));

    CAtlIniExt emptyPath(L"");
    EXPECT_FALSE(emptyPath.SetFileName(L""));
    EXPECT_EQ(RvString(), emptyPath.GetString(RV_T("config"), RV_T("num"), RV_T("d")));
    EXPECT_EQ(0, emptyPath.GetInt(RV_T("config"), RV_T("num"), 5));

    EXPECT_TRUE(emptyPath.SetFileName(m_file));
    EXPECT_EQ(42, emptyPath.GetInt(RV_T("config"), RV_T("num"), 5));
}

TEST_F(AtlIniExtTest, BindsPathsWithAnsiCharacters) {
    const std::wstring folder = m_scratch / L"caf\x00e9";
    ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
    ASSERT_TRUE(WriteFileBytes(folder + L"\\Config.ini", "[config]\r\nnum=8\r\n"));
    CAtlIniExt ini;
    EXPECT_TRUE(ini.SetFileName(folder + L"\\Config.ini"));
    EXPECT_EQ(8, ini.GetInt(RV_T("config"), RV_T("num"), 5));
}

namespace {

// Sets the file's write time, so that an edit can look unchanged.
bool SetWriteTime(const std::wstring& path, const FILETIME& time) {
    ScopedFile file(CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr,
                                OPEN_EXISTING, 0, nullptr));
    return file && SetFileTime(file.Get(), nullptr, nullptr, &time);
}

}  // namespace

TEST_F(AtlIniExtTest, DestructorDropsTheCachedCopy) {
    // The system keeps a parsed copy of a file whose write time is old and
    // unchanged; an edit that keeps the write time stays unseen until the
    // copy is flushed.
    const FILETIME oldTime = {0, 0x01d00000};  // in 2014
    Write("[config]\r\nnum=1\r\n");
    ASSERT_TRUE(SetWriteTime(m_file, oldTime));
    auto first = std::make_unique<CAtlIniExt>(m_file);
    EXPECT_EQ(1, first->GetInt(RV_T("config"), RV_T("num"), 0));

    Write("[config]\r\nnum=2\r\n");
    ASSERT_TRUE(SetWriteTime(m_file, oldTime));
    EXPECT_EQ(1, first->GetInt(RV_T("config"), RV_T("num"), 0));

    first.reset();
    CAtlIniExt second(m_file);
    EXPECT_EQ(2, second.GetInt(RV_T("config"), RV_T("num"), 0));
    // The flush wrote nothing back.
    EXPECT_EQ("[config]\r\nnum=2\r\n", ReadFileBytes(m_file));
}
