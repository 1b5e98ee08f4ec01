// Hostile requests at the real entry, through the host program, with a
// previous installation A in place: requests of 1 and 16 MB, nesting past
// the JSON reader's limit, NUL bytes, ANSI code page bytes in names, folders
// too long for MAX_PATH, a config.dat of binary garbage and a User
// configuration of 10 MB. Each gets a clear return code and message and
// never crashes; one that cannot install leaves A exactly as it was, and
// one that can carries A over completely.
#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "base/RegistryTreeBackup.h"
#include "installer/OwnedFolders.h"
#include "installer/request/InstallRequest.h"
#include "tests/installer/InstallBed.h"
#include "tests/support/Base64Encode.h"

namespace {

constexpr size_t kMiB = 1 << 20;
const char kClsidB[] = "4B3A2918-0706-4F5E-8D4C-3B2A19080702";
const char kClsidC[] = "4B3A2918-0706-4F5E-8D4C-3B2A19080703";

std::wstring AppData(const std::string& subDir) {
    return InstallBed::FolderIn(CSIDL_COMMON_APPDATA, Widen(subDir));
}

std::string Quoted(const std::string& bytes) {
    std::string out = "\"";
    for (char c : bytes) {
        if (c == '\\' || c == '"')
            out += '\\';
        out += c;
    }
    return out + '"';
}

// An envelope for the built modules; `extra` adds members before the
// Base64 parameters.
std::string Envelope(const std::string& params, const std::string& extra = std::string()) {
    return "{\"tmpDir\":" + Quoted(Narrow(InstallBed::Payload())) + ",\"InstallSrcid\":\"77\"" +
           extra + ",\"rspEncode\":\"" + EncodeBase64(params) + "\"}";
}

std::string Nested(size_t depth) {
    return std::string(depth, '[') + std::string(depth, ']');
}

// Binary garbage that opens with a UTF-16 byte-order mark, so that the
// profile functions read it as UTF-16 text.
std::string Garbage(size_t size) {
    std::string bytes = "\xFF\xFE";
    unsigned state = 12345;
    while (bytes.size() < size) {
        state = state * 1103515245u + 12345u;
        bytes += static_cast<char>(state >> 16);
    }
    return bytes;
}

char Lower(char c) {
    return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
}

// "section/key" -> value of an INI text, sections and keys lower-cased.
std::map<std::string, std::string> IniEntries(const std::string& text) {
    std::map<std::string, std::string> entries;
    std::string section, line;
    for (size_t start = 0; start < text.size();) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        line = text.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.size() > 1 && line.front() == '[' && line.back() == ']') {
            section = line.substr(1, line.size() - 2);
            std::transform(section.begin(), section.end(), section.begin(), Lower);
        } else if (line.find('=') != std::string::npos) {
            std::string key = line.substr(0, line.find('='));
            std::transform(key.begin(), key.end(), key.begin(), Lower);
            entries[section + "/" + key] = line.substr(line.find('=') + 1);
        }
    }
    return entries;
}

// The host runs in a folder of its own holding marker files: Wine's shell
// operations fall back to the current folder when a path does not fit
// MAX_PATH, and that would show here.
class MarkedWorkingFolder {
public:
    MarkedWorkingFolder() {
        wchar_t previous[MAX_PATH] = {};
        GetCurrentDirectoryW(MAX_PATH, previous);
        m_previous = previous;
        CreateDirectoryW((m_scratch / L"sub").c_str(), nullptr);
        WriteFileBytes(m_scratch / L"marker.txt", "keep");
        WriteFileBytes(m_scratch / L"sub\\marker.txt", "keep");
        SetCurrentDirectoryW(m_scratch.Path().c_str());
    }
    ~MarkedWorkingFolder() { SetCurrentDirectoryW(m_previous.c_str()); }
    bool IsIntact() const {
        return TreeEntries(m_scratch.Path()) ==
                   std::vector<std::wstring>{L"marker.txt", L"sub\\", L"sub\\marker.txt"} &&
               ReadFileBytes(m_scratch / L"sub\\marker.txt") == "keep";
    }

private:
    ScratchFolder m_scratch;
    std::wstring m_previous;
};

// Installs A at the default place. With nothing recorded the recorded
// folder is the default one too, which an install refuses: config.dat
// first names a folder that is not there.
HostRun InstallAtTheDefaultPlace(InstallBed& bed) {
    const std::wstring file = InstallBed::DataConfigFile();
    CreateDirectoryW(LocalDataFolder().c_str(), nullptr);
    WritePrivateProfileStringW(L"Config", L"installDir", AppData("RvHostile_None").c_str(),
                               file.c_str());
    WritePrivateProfileStringW(nullptr, nullptr, nullptr, file.c_str());
    return bed.Install("{}");
}

std::wstring MovedAside() {
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    return std::wstring(temp) + L"otdx";
}

}  // namespace

TEST(HostileInput, RequestsThatCannotInstallLeaveThePreviousInstallationAlone) {
    InstallBed bed;
    MarkedWorkingFolder workingFolder;
    // A at the default place: a request that falls back to the defaults
    // then names A's folder, and the outcome shows it.
    const std::wstring folderA = AppData(kDefaultSubDir);
    const std::wstring keyA = Widen(kDefaultExplorerKey), clsidA = Widen(kDefaultClsid);
    bed.Track(folderA, keyA, clsidA);
    ASSERT_EQ(InstallAtTheDefaultPlace(bed).code, 0u);

    // A folder left for the next install to delete, holding a path longer
    // than the shell can name.
    const std::wstring pending = AppData("RvHostile_Pending");
    bed.Track(pending, L"", L"");
    std::wstring deep = pending;
    ASSERT_TRUE(CreateDirectoryW(deep.c_str(), nullptr));
    for (size_t length : {100, 100, 60}) {
        deep += L"\\" + std::wstring(length, L'd');
        ASSERT_TRUE(CreateDirectoryW(deep.c_str(), nullptr));
    }
    ASSERT_TRUE(WriteFileBytes(deep + L"\\deep.txt", "pending"));
    ASSERT_TRUE(RecordOwnedFolder(pending));  // as a retired installation is
    ASSERT_GE(deep.size(), static_cast<size_t>(MAX_PATH));
    // Task data of A whose copy below a longer new folder would pass
    // MAX_PATH.
    std::wstring task = folderA + L"\\Task";  // made by the install
    for (size_t length : {100, 60}) {
        task += L"\\" + std::wstring(length, L't');
        ASSERT_TRUE(CreateDirectoryW(task.c_str(), nullptr));
    }
    ASSERT_TRUE(WriteFileBytes(task + L"\\task.txt", "task"));
    const std::string longFolder = "RvHostile_" + std::string(100, 'L');
    bed.Track(AppData(longFolder), L"RvTestHostileN", Widen(kClsidB));
    bed.Track(AppData("RvHostile_N"), L"", L"");
    bed.Track(AppData("RvHostile_R"), L"", L"");
    const std::wstring dataConfig = InstallBed::DataConfigFile();
    const std::string recordsA = ReadFileBytes(dataConfig);
    // (the profile functions read only the first of sections that differ in
    // case alone, so the record goes in through them)
    ASSERT_TRUE(
        WritePrivateProfileStringW(L"config", L"waitdel", pending.c_str(), dataConfig.c_str()));
    WritePrivateProfileStringW(nullptr, nullptr, nullptr, dataConfig.c_str());
    const std::string withPending = ReadFileBytes(dataConfig);
    ASSERT_TRUE(WriteFileBytes(dataConfig, recordsA));

    const InstallSnapshot previous = bed.Snapshot(folderA, keyA, clsidA);
    const std::vector<std::wstring> appDataBefore = FolderEntries(AppData(""));
    const std::string sub250(250, 's');
    const std::string sub228(228 - AppData("x").size() + 1, 'w');
    std::string parts;
    while (parts.size() < 300)
        parts += "abcdefghij\\";

    const std::string sameFolder = "same folder", invalidSubDir = "invalid subDir";
    struct Case {
        const char* what;
        std::string request;
        DWORD code;
        std::string desc;        // empty: no result block
        std::string dataConfig;  // config.dat for this request; empty: A's
    };
    const std::vector<Case> cases = {
        {"1 MB of padding", Envelope("{}", ",\"pad\":\"" + std::string(kMiB, 'x') + "\""), 10,
         sameFolder, ""},
        {"16 MB of padding", Envelope("{}", ",\"pad\":\"" + std::string(16 * kMiB, 'x') + "\""), 10,
         sameFolder, ""},
        {"16 MB rspEncode", Envelope("{\"pad\":\"" + std::string(12 * kMiB, 'y') + "\"}"), 10,
         sameFolder, ""},
        {"1 MB subDir", Envelope("{\"subDir\":\"" + std::string(kMiB, 'a') + "\"}"), 10,
         invalidSubDir, ""},
        {"12 MB subDir", Envelope("{\"subDir\":\"" + std::string(12 * kMiB, 'a') + "\"}"), 10,
         invalidSubDir, ""},
        {"envelope nested 5000 deep", "{\"x\":" + Nested(5000) + "}", 11, "", ""},
        {"plain parameters nested 5000 deep", "{\"params\":{\"x\":" + Nested(5000) + "}}", 11, "",
         ""},
        // Parameters that cannot be read leave every default in place.
        {"parameters nested 5000 deep",
         Envelope("{\"subDir\":\"RvHostile_N\",\"x\":" + Nested(5000) + "}"), 10, sameFolder, ""},
        // The host hands the request over as a C string.
        {"NUL inside the envelope", std::string("{\"tmpDir\":") + '\0' + "\"C:\\\\\"}", 11, "", ""},
        {"NUL after the envelope", Envelope("{}") + '\0' + "{\"subDir\":5}", 10, sameFolder, ""},
        // The decoded parameters end at their first NUL: the rest is cut and
        // what remains is no JSON.
        {"NUL inside the parameters",
         Envelope(std::string("{\"subDir\":\"RvHostile_N\"") + '\0' + "}"), 10, sameFolder, ""},
        {"escaped NUL in subDir", Envelope("{\"subDir\":\"RvHostile_N\\u0000x\"}"), 10,
         invalidSubDir, ""},
        {"escaped NUL in ShellDllName",
         Envelope("{\"subDir\":\"RvHostile_N\",\"ShellDllName\":\"Ov.dll\\u0000.txt\"}"), 10,
         "copy shell", ""},
        {"ShellDllName that leaves the folder",
         Envelope("{\"subDir\":\"RvHostile_N\",\"ShellDllName\":\"..\\\\RvHostile_Out.dll\"}"), 10,
         "copy shell", ""},
        {"control character in CoreDllName",
         Envelope("{\"subDir\":\"RvHostile_N\",\"CoreDllName\":\"a\\u0001b.dll\"}"), 10,
         "copy core", ""},
        {"ShellDllName of 250 characters",
         Envelope("{\"subDir\":\"RvHostile_N\",\"ShellDllName\":\"" + sub250 + "\"}"), 10,
         "copy shell", ""},
        {"subDir of 250 characters", Envelope("{\"subDir\":\"" + sub250 + "\"}"), 10, invalidSubDir,
         ""},
        {"subDir of short parts past 260", Envelope("{\"subDir\":" + Quoted(parts) + "}"), 10,
         invalidSubDir, ""},
        // The copy a record write makes in Conf\User would not fit.
        {"folder of 228 characters", Envelope("{\"subDir\":\"" + sub228 + "\"}"), 10, invalidSubDir,
         ""},
        // The carry-over refuses a copy the shell cannot name; the roll-back
        // removes the new folder and its registration.
        {"carry-over past MAX_PATH",
         Envelope("{\"subDir\":\"" + longFolder +
                  "\",\"ExplorerKey\":\"RvTestHostileN\",\"CLSID\":\"" + kClsidB + "\"}"),
         10, "copy org files", ""},
        // Without a readable record A is still found at the default place.
        {"config.dat of binary garbage", Envelope("{}"), 10, sameFolder, Garbage(64 * 1024)},
        {"garbage config.dat and a long subDir", Envelope("{\"subDir\":\"" + sub250 + "\"}"), 10,
         invalidSubDir, Garbage(64 * 1024)},
    };

    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        if (!c.dataConfig.empty()) {
            ASSERT_TRUE(WriteFileBytes(dataConfig, c.dataConfig));
        }
        const HostRun run = bed.SendRequest(c.request);
        EXPECT_EQ(run.code, c.code);
        EXPECT_EQ(run.desc, c.desc);
        if (!c.dataConfig.empty()) {
            EXPECT_EQ(ReadFileBytes(dataConfig), c.dataConfig);
            ASSERT_TRUE(WriteFileBytes(dataConfig, recordsA));
        }
        EXPECT_TRUE(bed.Snapshot(folderA, keyA, clsidA) == previous);
        EXPECT_EQ(FolderEntries(AppData("")), appDataBefore);
        EXPECT_TRUE(workingFolder.IsIntact());
    }
    // A pending folder with paths past MAX_PATH goes by handle (the shell's
    // delete would have worked on the current folder instead), and so does
    // its record.
    ASSERT_TRUE(WriteFileBytes(dataConfig, withPending));
    EXPECT_EQ(bed.SendRequest(Envelope("{}")).desc, sameFolder);
    EXPECT_FALSE(FolderExists(pending));
    EXPECT_EQ(IniValue(dataConfig, "config", "waitdel"), "<missing>");
    EXPECT_TRUE(workingFolder.IsIntact());
    EXPECT_EQ(bed.ProbeOverlayModule(keyA), folderA + L"\\" + Widen(kDefaultShellDllName));

    // An install whose folder cannot be recorded ours fails: no later
    // upgrade could retire it. The record's key is made a registry link to
    // nowhere, which every write through it refuses.
    RegistryTreeBackup record;
    ASSERT_TRUE(record.Save(HKEY_LOCAL_MACHINE, kOwnedFoldersKey, 0));
    ASSERT_EQ(RegDeleteTreeW(HKEY_LOCAL_MACHINE, kOwnedFoldersKey), ERROR_SUCCESS);
    HKEY link = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, kOwnedFoldersKey, 0, nullptr,
                              REG_OPTION_CREATE_LINK | REG_OPTION_VOLATILE,
                              KEY_ALL_ACCESS | KEY_CREATE_LINK, nullptr, &link, nullptr),
              ERROR_SUCCESS);
    const wchar_t nowhere[] = L"\\Registry\\Machine\\RvNoSuchRoot\\x";
    RegSetValueExW(link, L"SymbolicLinkValue", 0, REG_LINK, reinterpret_cast<const BYTE*>(nowhere),
                   sizeof(nowhere) - sizeof(wchar_t));
    const HostRun unrecorded = bed.SendRequest(Envelope("{\"subDir\":\"RvHostile_R\"}"));
    EXPECT_EQ(unrecorded.code, 10u);
    EXPECT_EQ(unrecorded.desc, "make dir");
    EXPECT_FALSE(FolderExists(AppData("RvHostile_R")));
    using DeleteKey = LONG(WINAPI*)(HANDLE);
    const auto deleteKey = reinterpret_cast<DeleteKey>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtDeleteKey")));
    EXPECT_EQ(deleteKey(link), 0);
    RegCloseKey(link);
    ASSERT_TRUE(record.Restore());
    EXPECT_TRUE(bed.Snapshot(folderA, keyA, clsidA) == previous);
}

TEST(HostileInput, OddNamesGarbageRecordsAndA10MBUserConfigUpgradeCompletely) {
    InstallBed bed;
    MarkedWorkingFolder workingFolder;
    const std::wstring folderA = AppData(kDefaultSubDir);
    bed.Track(folderA, Widen(kDefaultExplorerKey), Widen(kDefaultClsid));
    bed.Track(MovedAside(), L"", L"");
    ASSERT_EQ(InstallAtTheDefaultPlace(bed).code, 0u);

    // A's User configuration grows past 10 MB: a long section and a long
    // value. config.dat turns into garbage: A is found at the default place.
    const std::wstring userA = folderA + L"\\Conf\\User\\Config.ini";
    std::string user = ReadFileBytes(userA) + "[bulk]\r\n";
    for (int i = 0; user.size() < 10 * kMiB; ++i)
        user += "key" + std::to_string(i) + "=" + std::string(100, 'a' + i % 26) + "\r\n";
    user += "[long]\r\nvalue=" + std::string(100000, 'L') + "\r\n";
    ASSERT_TRUE(WriteFileBytes(userA, user));
    ASSERT_TRUE(WriteFileBytes(InstallBed::DataConfigFile(), Garbage(64 * 1024)));
    std::map<std::string, std::string> carried;
    for (const auto& entry : IniEntries(user)) {
        if (entry.first.compare(0, 5, "bulk/") == 0 || entry.first.compare(0, 5, "long/") == 0)
            carried.insert(entry);
    }

    // Bytes that are no UTF-8 (a lone lead byte, "\xC0\xAF" as an overlong
    // '/', bytes no code page position defines) are ANSI text here.
    const std::string subB = "RvHostile_\xC3(\xFF\x81", shellB = "Sh\xE9\x9D.dll",
                      coreB = "Co\xC0\xAF.dll", keyB = "RvTestHostile\xE9\xFE";
    const std::wstring folderB = AppData(subB);
    bed.Track(folderB, Widen(keyB), Widen(kClsidB));
    const HostRun runB = bed.Install("{\"subDir\":\"" + subB + "\",\"ShellDllName\":\"" + shellB +
                                     "\",\"CoreDllName\":\"" + coreB + "\",\"ExplorerKey\":\"" +
                                     keyB + "\",\"CLSID\":\"" + kClsidB + "\"}");
    ASSERT_EQ(runB.code, 0u) << runB.desc;
    std::vector<std::wstring> placed = {L"Conf", Widen(coreB), Widen(shellB), L"RvDumpReport.exe",
                                        L"Task"};
    std::sort(placed.begin(), placed.end());
    EXPECT_EQ(FolderEntries(folderB), placed);
    const std::wstring userB = folderB + L"\\Conf\\User\\Config.ini";
    EXPECT_EQ(IniValue(userB, "config", "ShellPath"), Narrow(folderB) + "\\" + shellB);
    EXPECT_EQ(IniValue(userB, "config", "ExplorerKey"), keyB);
    EXPECT_EQ(IniValue(userB, "CModuleUpdate", "modulename"), coreB);
    EXPECT_EQ(IniValue(InstallBed::DataConfigFile(), "Config", "installDir"), Narrow(folderB));
    EXPECT_EQ(bed.ProbeOverlayModule(Widen(keyB)), folderB + L"\\" + Widen(shellB));
    EXPECT_FALSE(ReadKeyDefault(NativeView(), OverlayKeyPath(Widen(kDefaultExplorerKey))));
    EXPECT_FALSE(FolderExists(folderA));
    std::map<std::string, std::string> inB = IniEntries(ReadFileBytes(userB));
    for (const auto& entry : carried) {
        ASSERT_EQ(inB[entry.first], entry.second) << entry.first;
    }

    // The same key in other case: the key stays with C, which Explorer
    // loads, and A's data lives on.
    const std::string keyC = "RVTESTHOSTILE\xC9\xDE";
    const std::wstring folderC = AppData("RvHostile_C");
    bed.Track(folderC, Widen(keyC), Widen(kClsidC));
    const HostRun runC = bed.Install("{\"subDir\":\"RvHostile_C\",\"ExplorerKey\":\"" + keyC +
                                     "\",\"CLSID\":\"" + kClsidC + "\"}");
    ASSERT_EQ(runC.code, 0u) << runC.desc;
    std::wstring value;
    EXPECT_TRUE(ReadKeyDefault(NativeView(), OverlayKeyPath(Widen(keyC)), &value));
    EXPECT_EQ(value, L"{" + Widen(kClsidC) + L"}");
    EXPECT_EQ(bed.ProbeOverlayModule(Widen(keyC)), folderC + L"\\Dovadi.dll");
    EXPECT_FALSE(FolderExists(folderB));
    std::map<std::string, std::string> inC =
        IniEntries(ReadFileBytes(folderC + L"\\Conf\\User\\Config.ini"));
    for (const auto& entry : carried) {
        ASSERT_EQ(inC[entry.first], entry.second) << entry.first;
    }
    EXPECT_TRUE(workingFolder.IsIntact());
}

// A previous installation and the user's own folders planted with names and
// records that lead a tree operation out of its tree, all in one upgrade:
// a name the ANSI code page maps to "..\" (in the retired folder and in the
// carried Task data), names that start with ".." (which Wine's shell delete
// reads as a step up) in "otdx", and a "waitdel" that holds a special folder
// redirected below it. Every canary outside the trees must survive, the
// retired trees must go completely, a planted "otdx" stays, and the carried data keeps its wide
// names. Only in a prefix without drive Z:, where a delete gone astray
// cannot reach the machine.
TEST(HostileInput, PlantedNamesAndRecordsNeverLeadAnUpgradeOutOfItsTrees) {
    if (GetDriveTypeW(L"Z:\\") != DRIVE_NO_ROOT_DIR)
        GTEST_SKIP() << "needs a prefix without drive Z:";
    InstallBed bed;
    MarkedWorkingFolder workingFolder;
    const std::wstring folderA = AppData("RvTree_A"), folderB = AppData("RvTree_B");
    bed.Track(folderA, L"RvTestTreeA", Widen(kClsidB));
    bed.Track(folderB, L"RvTestTreeB", Widen(kClsidC));
    bed.Track(MovedAside(), L"", L"");
    ASSERT_EQ(bed.Install("{\"subDir\":\"RvTree_A\",\"ExplorerKey\":\"RvTestTreeA\",\"CLSID\":\"" +
                          std::string(kClsidB) + "\"}")
                  .code,
              0u);

    // FULLWIDTH FULL STOP twice and FULLWIDTH REVERSE SOLIDUS: "..\" once
    // converted with best fit.
    const std::wstring up = L"\xFF0E\xFF0E\xFF3C";
    const std::wstring victim = AppData("RvTree_Victim"), outside = AppData("RvTree_Out");
    const std::wstring twin = MovedAside() + L"RvTreeTwin", scratch = AppData("RvTree_Scratch");
    for (const std::wstring& folder : {victim, twin, scratch, scratch + L"\\Music"}) {
        bed.Track(folder, L"", L"");
        ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
    }
    bed.Track(outside, L"", L"");
    const std::wstring canaries[] = {victim + L"\\keep.txt", twin + L"\\keep.txt",
                                     scratch + L"\\keep.txt", scratch + L"\\Music\\song.txt"};
    for (const std::wstring& canary : canaries)
        ASSERT_TRUE(WriteFileBytes(canary, "keep"));
    const std::wstring planted[] = {folderA + L"\\" + up + L"RvTree_Victim",
                                    folderA + L"\\Task",
                                    folderA + L"\\Task\\" + up + up + L"RvTree_Out",
                                    MovedAside(),
                                    MovedAside() + L"\\sub",
                                    MovedAside() + L"\\sub\\..RvTreeTwin"};
    for (const std::wstring& folder : planted)
        ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr) || folder == folderA + L"\\Task")
            << Narrow(folder);
    for (const std::wstring& folder : planted)
        ASSERT_TRUE(WriteFileBytes(folder + L"\\planted.txt", "planted"));

    // "My Music" now lies below the folder that waitdel names.
    const wchar_t shellFolders[] =
        L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";
    ASSERT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER, shellFolders, L"My Music", REG_EXPAND_SZ,
                              (scratch + L"\\Music").c_str(),
                              static_cast<DWORD>((scratch.size() + 7) * sizeof(wchar_t))),
              ERROR_SUCCESS);
    struct RestoreMusic {
        const wchar_t* key;
        ~RestoreMusic() { RegDeleteKeyValueW(HKEY_CURRENT_USER, key, L"My Music"); }
    } restoreMusic{shellFolders};
    const std::wstring dataConfig = InstallBed::DataConfigFile();
    ASSERT_TRUE(
        WritePrivateProfileStringW(L"config", L"waitdel", scratch.c_str(), dataConfig.c_str()));

    const HostRun run = bed.Install(
        "{\"subDir\":\"RvTree_B\",\"ExplorerKey\":\"RvTestTreeB\","
        "\"CLSID\":\"" +
        std::string(kClsidC) + "\"}");
    EXPECT_EQ(run.code, 0u) << run.desc;
    for (const std::wstring& canary : canaries)
        EXPECT_EQ(ReadFileBytes(canary), "keep") << Narrow(canary);
    EXPECT_TRUE(workingFolder.IsIntact());
    EXPECT_FALSE(FolderExists(outside));
    EXPECT_EQ(IniValue(dataConfig, "config", "waitdel"), "<missing>");
    // The retired trees went whole, by their wide names; the carried Task
    // data kept them. "otdx" is the user's: no install moved anything there.
    EXPECT_FALSE(FolderExists(folderA));
    EXPECT_EQ(ReadFileBytes(MovedAside() + L"\\sub\\..RvTreeTwin\\planted.txt"), "planted");
    EXPECT_EQ(ReadFileBytes(folderB + L"\\Task\\" + up + up + L"RvTree_Out\\planted.txt"),
              "planted");
}

// Folders swapped for links while an install runs, between the checks of
// its folders and its writes: the new folder's Conf\User, the new folder
// itself, and the local data folder with config.dat. Each later write
// refuses (Wine lets a held folder be renamed; Windows would not), the
// install is rolled back, and nothing lands in the folder a link leads to.
// Only in a prefix without drive Z:.
TEST(HostileInput, FoldersSwappedForLinksDuringAnInstallTakeNoWrite) {
    if (GetDriveTypeW(L"Z:\\") != DRIVE_NO_ROOT_DIR)
        GTEST_SKIP() << "needs a prefix without drive Z:";
    InstallBed bed;
    const std::wstring folderA = AppData("RvSwap_A"), folderB = AppData("RvSwap_B");
    const std::wstring victim = AppData("RvSwap_Victim");
    bed.Track(folderA, L"RvTestSwapA", Widen(kClsidB));
    bed.Track(folderB, L"RvTestSwapB", Widen(kClsidC));
    bed.Track(folderB + L".moved", L"", L"");
    bed.Track(victim, L"", L"");
    ASSERT_EQ(bed.Install("{\"subDir\":\"RvSwap_A\",\"ExplorerKey\":\"RvTestSwapA\",\"CLSID\":\"" +
                          std::string(kClsidB) + "\"}")
                  .code,
              0u);
    ASSERT_TRUE(CreateDirectoryW(victim.c_str(), nullptr));
    ASSERT_TRUE(WriteFileBytes(victim + L"\\keep.txt", "keep"));
    const InstallSnapshot installedA = bed.Snapshot(folderA, L"RvTestSwapA", Widen(kClsidB));
    const std::string upgrade =
        "{\"subDir\":\"RvSwap_B\",\"ExplorerKey\":\"RvTestSwapB\",\"CLSID\":\"" +
        std::string(kClsidC) + "\"}";
    const std::wstring localData = LocalDataFolder();
    // Conf\User right after the carry-over replaced Conf.
    const struct {
        std::wstring swapped;
        const wchar_t* pause;
        const char* desc;
    } cases[] = {{folderB + L"\\Conf\\User", L"carried", "write Config.ini"},
                 {folderB, L"registered", "copy org files"},
                 {localData, L"registered", "write config.dat"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(Narrow(c.swapped));
        std::unique_ptr<PlantedFolderLink> link;
        const HostRun run = bed.InstallPausedAt(c.pause, upgrade, [&] {
            ASSERT_TRUE(MoveFileW(c.swapped.c_str(), (c.swapped + L".moved").c_str()));
            link.reset(new PlantedFolderLink(c.swapped, victim));
        });
        EXPECT_EQ(run.code, 10u);
        EXPECT_EQ(run.desc, c.desc);
        EXPECT_EQ(FolderEntries(victim), std::vector<std::wstring>{L"keep.txt"});
        link.reset();
        if (c.swapped == localData) {
            EXPECT_TRUE(MoveFileW((localData + L".moved").c_str(), localData.c_str()));
        }
        EXPECT_TRUE(bed.Snapshot(folderA, L"RvTestSwapA", Widen(kClsidB)) == installedA);
        RemoveTree(folderB);
        RemoveTree(folderB + L".moved");
    }
}
