// SPDX-License-Identifier: MIT
// The launcher and its Windows services against a real registry, run under Wine by run.sh.
//
//   sysinfo_wine_tests.exe PHASE
//
// run.sh lays out the registry (wine reg add/delete) and the files in C:\ before each phase; each
// phase checks what the registry then holds. Any copy of this program under another name is a
// probe: started, it writes "<its own path>.ran" and ends, which shows what a start really ran.

#include "RuntimeError.h"
#include "sysinfo/SysInfo.h"
#include "sysinfo/WindowsServices.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

using namespace quill;
using namespace quill::sysinfo;
using Fn = WindowsServices::RegistryFunction;

namespace {

int g_passed = 0;
int g_failed = 0;
std::string g_case;  // the table row being checked, for the failure report

void check(bool ok, const char* expr, int line, const std::string& detail = {})
{
    if (ok) {
        ++g_passed;
        return;
    }
    ++g_failed;
    std::printf("FAIL line %d%s%s: %s%s%s\n", line, g_case.empty() ? "" : " [", g_case.empty() ? "" : (g_case + "]").c_str(),
                expr, detail.empty() ? "" : " -- ", detail.c_str());
}

#define CHECK(expr) check((expr), #expr, __LINE__)
#define CHECK_EQ(actual, expected)                                                                     \
    do {                                                                                               \
        const auto a_ = (actual);                                                                      \
        const auto e_ = (expected);                                                                    \
        check(a_ == e_, #actual " == " #expected, __LINE__, "got \"" + show(a_) + "\", expected \"" + show(e_) + "\""); \
    } while (0)

std::string show(const std::string& s)
{
    std::string out;
    for (unsigned char c : s) {
        if (c >= 32 && c < 127) {
            out += char(c);
        } else {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\x%02X", c);
            out += buf;
        }
    }
    return out;
}
std::string show(bool b) { return b ? "true" : "false"; }
template <typename T> std::string show(T v) { return std::to_string(v); }

constexpr std::uint32_t kHKLM = 0x80000002u;
constexpr std::uint32_t kHKCU = 0x80000001u;
const std::string kTestKey = "SOFTWARE\\Quillendor\\Test";

const std::string kProbe = "C:\\quill dir\\probe.exe";       // a path with spaces
const std::string kDecoy = "C:\\quill.exe";                  // what a split at the first space would run
const std::string kToolFolder = "C:\\quill tools";            // holds MSINFO32.EXE
const std::string kTool = "C:\\quill tools\\MSINFO32.EXE";
const std::string kEmptyFolder = "C:\\quill empty";           // holds nothing

std::string marker(const std::string& program)
{
    return program + ".ran";
}

bool exists(const std::string& path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool waitFor(const std::string& path, int timeoutMs)
{
    for (int waited = 0; waited < timeoutMs; waited += 100) {
        if (exists(path))
            return true;
        Sleep(100);
    }
    return exists(path);
}

void clearMarkers()
{
    for (const std::string& p : {kProbe, kDecoy, kTool})
        DeleteFileA(marker(p).c_str());
}

// The real services, with the calls recorded and the message box replaced.
class RecordingServices : public WindowsServices {
public:
    using WindowsServices::WindowsServices;

    std::vector<std::string> opened;
    int openKeys = 0;
    std::vector<std::string> startAttempts;
    std::vector<std::string> messages;

    OpenKeyResult openKey(std::uint32_t root, const std::string& path, std::uint32_t options,
                          std::uint32_t accessMask) override
    {
        opened.push_back(path);
        const OpenKeyResult r = WindowsServices::openKey(root, path, options, accessMask);
        if (r.status == kStatusSuccess)
            ++openKeys;
        return r;
    }
    void closeKey(KeyHandle key) override
    {
        WindowsServices::closeKey(key);
        --openKeys;
    }
    void startProgram(const std::string& path) override
    {
        startAttempts.push_back(path);
        WindowsServices::startProgram(path);
    }
    void showMessage(const std::string& text) override { messages.push_back(text); }
};

int errorOf(const std::function<void()>& f)
{
    try {
        f();
    } catch (const RuntimeError& e) {
        return e.number();
    } catch (...) {
        return -1;
    }
    return 0;
}

// ---------------------------------------------------------------------------------------------
// Phase "registry": GetKeyValue on the values run.sh created, the lazy lookup of the registry
// functions, the file test and the program start.

struct ValueCase {
    const char* name;
    std::uint32_t root;
    std::string key;
    std::string value;
    std::string initial;
    int error;
    bool result;
    std::string keyVal;
};

void phaseRegistry()
{
    const std::string kept = "kept as passed";
    const int invalid = int(ErrorCode::InvalidProcedureCall);
    const std::vector<ValueCase> cases{
        {"text", kHKLM, kTestKey, "Text", kept, 0, true, kProbe},
        {"value name in other case", kHKLM, "software\\quillendor\\test", "text", kept, 0, true, kProbe},
        {"empty text", kHKLM, kTestKey, "EmptyText", kept, 0, true, ""},
        {"dword 15", kHKLM, kTestKey, "Number15", kept, 0, true, "&h00000F"},
        {"dword 0x12345678", kHKLM, kTestKey, "Number", kept, 0, true, "&h12345678"},
        {"dword ignores KeyVal", kHKLM, kTestKey, "Number", "", 0, true, "&h12345678"},
        {"binary leaves KeyVal", kHKLM, kTestKey, "Binary", kept, 0, true, kept},
        {"text over 1,024 bytes", kHKLM, kTestKey, "Long", kept, 0, false, ""},
        {"text of 1,024 bytes with zero", kHKLM, kTestKey, "Fits", kept, 0, true, std::string(1023, 'f')},
        {"zero-length binary", kHKLM, kTestKey, "EmptyBinary", kept, invalid, false, kept},
        {"value absent", kHKLM, kTestKey, "Nothing", kept, 0, false, ""},
        {"key absent", kHKLM, "SOFTWARE\\Quillendor\\Missing", "Text", kept, 0, false, ""},
        {"other root", kHKCU, "Software\\Quillendor\\Test", "Text", kept, 0, true, "current user"},
        {"absent under other root", kHKCU, kTestKey + "\\Nope", "Text", kept, 0, false, ""},
    };
    RecordingServices services;
    for (const ValueCase& c : cases) {
        g_case = c.name;
        std::string keyVal = c.initial;
        bool result = false;
        const int error = errorOf([&] { result = GetKeyValue(services, c.root, c.key, c.value, keyVal); });
        CHECK_EQ(error, c.error);
        if (c.error == 0)
            CHECK_EQ(result, c.result);
        CHECK_EQ(keyVal, c.keyVal);
        CHECK_EQ(services.openKeys, 0);  // no key left open
    }
    g_case.clear();

    // The registry functions are looked up at their first call and then reused.
    {
        g_case = "lazy lookup";
        WindowsServices fresh;
        CHECK(!fresh.isResolved(Fn::OpenKey));
        CHECK(!fresh.isResolved(Fn::QueryValue));
        CHECK(!fresh.isResolved(Fn::CloseKey));
        CHECK_EQ(fresh.lookupCount(), 0);

        std::string v;
        CHECK(!GetKeyValue(fresh, kHKLM, "SOFTWARE\\Quillendor\\Missing", "Text", v));
        CHECK(fresh.isResolved(Fn::OpenKey));
        CHECK(!fresh.isResolved(Fn::QueryValue));  // nothing was queried or released yet
        CHECK(!fresh.isResolved(Fn::CloseKey));
        CHECK_EQ(fresh.lookupCount(), 1);

        CHECK(GetKeyValue(fresh, kHKLM, kTestKey, "Text", v));
        CHECK(fresh.isResolved(Fn::QueryValue));
        CHECK(fresh.isResolved(Fn::CloseKey));
        CHECK_EQ(fresh.lookupCount(), 3);

        HMODULE advapi = GetModuleHandleA("advapi32");
        CHECK(advapi != nullptr);
        const void* open = fresh.entryOf(Fn::OpenKey);
        const void* query = fresh.entryOf(Fn::QueryValue);
        const void* close = fresh.entryOf(Fn::CloseKey);
        CHECK(open == reinterpret_cast<const void*>(GetProcAddress(advapi, "RegOpenKeyExA")));
        CHECK(query == reinterpret_cast<const void*>(GetProcAddress(advapi, "RegQueryValueExA")));
        CHECK(close == reinterpret_cast<const void*>(GetProcAddress(advapi, "RegCloseKey")));

        for (int i = 0; i < 3; ++i)
            CHECK(GetKeyValue(fresh, kHKLM, kTestKey, "Number", v));
        CHECK_EQ(fresh.lookupCount(), 3);
        CHECK(fresh.entryOf(Fn::OpenKey) == open);
        CHECK(fresh.entryOf(Fn::QueryValue) == query);
        CHECK(fresh.entryOf(Fn::CloseKey) == close);
        g_case.clear();
    }

    // A library or entry point that cannot be found is an error, and StartSysInfo shows the message
    // without trying the fallback lookup.
    {
        g_case = "missing library";
        RecordingServices noLibrary("quillendor_no_such_library");
        std::string v = "kept";
        CHECK_EQ(errorOf([&] { GetKeyValue(noLibrary, kHKLM, kTestKey, "Text", v); }), int(ErrorCode::DllNotFound));
        CHECK_EQ(v, std::string("kept"));
        noLibrary.opened.clear();
        CHECK_EQ(errorOf([&] { StartSysInfo(noLibrary); }), 0);
        CHECK_EQ(noLibrary.messages.size(), std::size_t(1));
        CHECK_EQ(noLibrary.opened.size(), std::size_t(1));

        g_case = "missing entry point";
        RecordingServices noEntry("ntdll");  // loads, but has no RegOpenKeyExA
        CHECK_EQ(errorOf([&] { GetKeyValue(noEntry, kHKLM, kTestKey, "Text", v); }),
                 int(ErrorCode::EntryPointNotFound));
        CHECK(!noEntry.isResolved(Fn::OpenKey));
        g_case.clear();
    }

    // The file test: ordinary files only.
    {
        CreateDirectoryA("C:\\quill files", nullptr);
        for (const char* name : {"C:\\quill files\\plain.txt", "C:\\quill files\\hidden.txt",
                                 "C:\\quill files\\system.txt"}) {
            HANDLE h = CreateFileA(name, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
            CHECK(h != INVALID_HANDLE_VALUE);
            CloseHandle(h);
        }
        CHECK(SetFileAttributesA("C:\\quill files\\hidden.txt", FILE_ATTRIBUTE_HIDDEN));
        CHECK(SetFileAttributesA("C:\\quill files\\system.txt", FILE_ATTRIBUTE_SYSTEM));

        const struct {
            const char* path;
            bool exists;
        } files[]{
            {"C:\\quill tools\\MSINFO32.EXE", true},
            {"C:\\quill files\\plain.txt", true},
            {"C:\\quill files\\hidden.txt", false},
            {"C:\\quill files\\system.txt", false},
            {"C:\\quill tools", false},
            {"C:\\quill tools\\MSINFO32.EX", false},
            {"", false},
        };
        WindowsServices services;
        for (const auto& f : files) {
            g_case = std::string("file test ") + f.path;
            CHECK_EQ(services.fileExists(f.path), f.exists);
        }
        g_case = "file test cut short at a zero";
        CHECK(!services.fileExists(kTool + std::string(1, '\0') + "x"));
        g_case.clear();
    }

    // Starting a program: by its own path, whole.
    {
        clearMarkers();
        WindowsServices services;
        const struct {
            const char* name;
            std::string path;
            int error;
        } failures[]{
            {"start empty path", "", int(ErrorCode::InvalidProcedureCall)},
            {"start missing program", "C:\\quill nowhere\\msinfo32.exe", int(ErrorCode::FileNotFound)},
            {"start a folder", kToolFolder, int(ErrorCode::FileNotFound)},
            {"start a command line", kProbe + " /x", int(ErrorCode::FileNotFound)},
        };
        for (const auto& f : failures) {
            g_case = f.name;
            CHECK_EQ(errorOf([&] { services.startProgram(f.path); }), f.error);
        }
        g_case = "start path with spaces";
        CHECK_EQ(errorOf([&] { services.startProgram(kProbe); }), 0);
        CHECK(waitFor(marker(kProbe), 30000));
        Sleep(500);
        CHECK(!exists(marker(kDecoy)));
        g_case.clear();
    }
}

// ---------------------------------------------------------------------------------------------
// The StartSysInfo phases: run.sh has set the two entries; each phase states what must follow.

struct StartExpectation {
    std::vector<std::string> opened;
    std::string started;  // the program whose marker must appear; empty: nothing started
    bool message;
};

void phaseStart(const StartExpectation& expect)
{
    clearMarkers();
    RecordingServices services;
    const int error = errorOf([&] { StartSysInfo(services); });
    CHECK_EQ(error, 0);
    CHECK_EQ(services.opened.size(), expect.opened.size());
    for (std::size_t i = 0; i < services.opened.size() && i < expect.opened.size(); ++i)
        CHECK_EQ(services.opened[i], expect.opened[i]);
    CHECK_EQ(services.openKeys, 0);
    if (expect.message) {
        CHECK_EQ(services.messages.size(), std::size_t(1));
        if (!services.messages.empty())
            CHECK_EQ(services.messages[0], std::string("System Information Is Unavailable At This Time"));
    } else {
        CHECK(services.messages.empty());
    }
    if (!expect.started.empty())
        CHECK(waitFor(marker(expect.started), 30000));
    Sleep(1000);  // time for anything started wrongly to show
    for (const std::string& program : {kProbe, kDecoy, kTool}) {
        if (program != expect.started) {
            g_case = "not started: " + program;
            CHECK(!exists(marker(program)));
        }
    }
    g_case.clear();
}

const std::string P(kPrimaryKey);
const std::string F(kFallbackKey);

int probeMain(const std::string& self)
{
    const std::string path = marker(self);
    HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return 1;
    DWORD written = 0;
    WriteFile(h, self.data(), DWORD(self.size()), &written, nullptr);
    CloseHandle(h);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    char self[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    const char* base = std::strrchr(self, '\\');
    base = base ? base + 1 : self;
    if (lstrcmpiA(base, "sysinfo_wine_tests.exe") != 0)
        return probeMain(self);

    const std::string phase = argc > 1 ? argv[1] : "";
    if (phase == "registry")
        phaseRegistry();
    else if (phase == "primary")  // primary names the probe; fallback names the tool folder
        phaseStart({{P}, kProbe, false});
    else if (phase == "primary-missing")  // primary names a missing file; fallback as above
        phaseStart({{P}, "", true});
    else if (phase == "fallback")  // primary key without its value; fallback names the tool folder
        phaseStart({{P, F}, kTool, false});
    else if (phase == "fallback-no-file")  // primary key absent; fallback names an empty folder
        phaseStart({{P, F}, "", true});
    else if (phase == "none")  // neither key
        phaseStart({{P, F}, "", true});
    else {
        std::printf("unknown phase \"%s\"\n", phase.c_str());
        return 2;
    }
    std::printf("%s: %d passed, %d failed\n", phase.c_str(), g_passed, g_failed);
    return g_failed == 0 ? 0 : 1;
}
