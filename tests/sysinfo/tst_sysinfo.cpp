// SPDX-License-Identifier: MIT
// The system-information launcher against an in-memory registry, and the Linux services where they
// can be exercised without side effects.

#include "RuntimeError.h"
#include "sysinfo/SysInfo.h"

#ifndef Q_OS_WIN
#include "sysinfo/LinuxServices.h"
#endif

#include <QtCore/QByteArray>
#include <QtCore/QDeadlineTimer>
#include <QtCore/QDir>
#include <QtCore/QFile>
#include <QtCore/QTemporaryDir>
#include <QtCore/QThread>
#include <QtTest/QtTest>

#include <algorithm>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#ifndef Q_OS_WIN
#include <cerrno>
#include <sys/wait.h>
#include <unistd.h>
#endif

using namespace quill;
using namespace quill::sysinfo;

namespace {

constexpr std::uint32_t kHKLM = 0x80000002u;
constexpr std::uint32_t kHKCU = 0x80000001u;
constexpr std::uint32_t kKeyQueryValue = 0x0001u;
constexpr std::uint32_t kKeyWriteRights = 0x0002u | 0x0004u | 0x0020u | 0x00010000u | 0x00040000u | 0x00080000u;

enum class KeyAccess { Absent, Full, ReadOnly, NoAccess };
enum class Fault { None, OpenThrows, QueryThrows };

// One key holding (or not) one value, as a test sets it up.
struct KeySetup {
    KeyAccess access = KeyAccess::Absent;
    bool hasValue = true;
    std::uint32_t type = kTypeText;
    QByteArray data;
    std::int32_t queryStatus = 0;     // nonzero: the query fails with this status
    bool lengthBeyondBuffer = false;  // a faulty service reports more bytes than the buffer holds
    Fault fault = Fault::None;
};

KeySetup absentKey()
{
    return {};
}

KeySetup value(std::uint32_t type, QByteArray data, KeyAccess access = KeyAccess::Full)
{
    KeySetup k;
    k.access = access;
    k.type = type;
    k.data = std::move(data);
    return k;
}

KeySetup text(const QByteArray& s)  // stored the usual way, with its terminating zero
{
    return value(kTypeText, s + QByteArray(1, '\0'));
}

KeySetup bytes(std::initializer_list<int> list, std::uint32_t type = kTypeNumber)
{
    QByteArray data;
    for (int b : list)
        data.append(static_cast<char>(b));
    return value(type, data);
}

KeySetup keyWithoutValue()
{
    KeySetup k;
    k.access = KeyAccess::Full;
    k.hasValue = false;
    return k;
}

KeySetup failingQuery(std::int32_t status)
{
    KeySetup k = text("C:\\x");
    k.queryStatus = status;
    return k;
}

KeySetup faulty(Fault fault)
{
    KeySetup k = text("C:\\x");
    k.fault = fault;
    return k;
}

std::string lower(std::string s)
{
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return s;
}

// Windows-like registry, file system and program start, all in memory, recording every call.
class FakeServices : public Services {
public:
    struct OpenCall {
        std::uint32_t root;
        std::string path;
        std::uint32_t options;
        std::uint32_t mask;
    };

    void addKey(std::uint32_t root, const std::string& path, const std::string& valueName, const KeySetup& setup)
    {
        if (setup.access != KeyAccess::Absent)
            m_keys[{root, lower(path)}] = {setup, lower(valueName)};
    }

    std::set<std::string> files;     // ordinary files that exist
    std::set<std::string> programs;  // paths that can be started
    bool fileTestThrows = false;

    std::vector<OpenCall> opens;
    std::vector<std::string> fileTests;
    std::vector<std::string> startAttempts;
    std::vector<std::string> started;
    std::vector<std::string> messages;
    int successfulOpens = 0;
    int queries = 0;
    int closes = 0;
    bool badClose = false;      // a handle released twice or never handed out
    bool bufferFaults = false;  // a query got anything but 1,024 zero bytes

    std::size_t openKeyCount() const { return m_open.size(); }
    std::vector<std::string> openedPaths() const
    {
        std::vector<std::string> paths;
        for (const OpenCall& c : opens)
            paths.push_back(c.path);
        return paths;
    }

    OpenKeyResult openKey(std::uint32_t root, const std::string& path, std::uint32_t options,
                          std::uint32_t accessMask) override
    {
        opens.push_back({root, path, options, accessMask});
        const auto it = m_keys.find({root, lower(path)});
        if (it == m_keys.end())
            return {kStatusNotFound, 0};
        const KeySetup& setup = it->second.setup;
        if (setup.fault == Fault::OpenThrows)
            throw RuntimeError(ErrorCode::DllNotFound, "advapi32");
        const bool wantsWrite = (accessMask & kKeyWriteRights) != 0;
        const bool wantsRead = (accessMask & kKeyQueryValue) != 0;
        if (setup.access == KeyAccess::NoAccess || (wantsWrite && setup.access == KeyAccess::ReadOnly))
            return {kStatusAccessDenied, 0};
        if (!wantsRead)  // opened without the right to read values: every query would be refused
            return {kStatusAccessDenied, 0};
        const KeyHandle handle = m_nextHandle++;
        m_open[handle] = &it->second;
        ++successfulOpens;
        return {kStatusSuccess, handle};
    }

    QueryValueResult queryValue(KeyHandle key, const std::string& name, std::span<std::uint8_t> buffer) override
    {
        ++queries;
        if (buffer.size() != kValueBufferSize
            || std::any_of(buffer.begin(), buffer.end(), [](std::uint8_t b) { return b != 0; }))
            bufferFaults = true;
        const auto it = m_open.find(key);
        if (it == m_open.end())
            return {kStatusInvalidHandle, 0, 0};
        const Entry& entry = *it->second;
        if (entry.setup.fault == Fault::QueryThrows)
            throw RuntimeError(ErrorCode::EntryPointNotFound, "RegQueryValueExA");
        if (!entry.setup.hasValue || lower(name) != entry.valueName)
            return {kStatusNotFound, 0, 0};
        if (entry.setup.queryStatus != 0)
            return {entry.setup.queryStatus, 0, 0};
        const auto size = static_cast<std::uint32_t>(entry.setup.data.size());
        if (size > buffer.size())
            return {kStatusMoreData, entry.setup.type, size};
        std::copy(entry.setup.data.begin(), entry.setup.data.end(), buffer.begin());
        return {kStatusSuccess, entry.setup.type, entry.setup.lengthBeyondBuffer ? 4096u : size};
    }

    void closeKey(KeyHandle key) override
    {
        ++closes;
        if (m_open.erase(key) == 0)
            badClose = true;
    }

    bool fileExists(const std::string& path) override
    {
        fileTests.push_back(path);
        if (fileTestThrows)
            throw RuntimeError(ErrorCode::FileNotFound, "bad file name");
        return files.count(path) != 0;
    }

    void startProgram(const std::string& path) override
    {
        startAttempts.push_back(path);
        if (programs.count(path) == 0)
            throw RuntimeError(ErrorCode::FileNotFound, path);
        started.push_back(path);
    }

    void showMessage(const std::string& text) override { messages.push_back(text); }

private:
    struct Entry {
        KeySetup setup;
        std::string valueName;
    };
    std::map<std::pair<std::uint32_t, std::string>, Entry> m_keys;
    std::map<KeyHandle, Entry*> m_open;
    KeyHandle m_nextHandle = 0x100;
};

QStringList toList(const std::vector<std::string>& v)
{
    QStringList list;
    for (const std::string& s : v)
        list << QString::fromStdString(s);
    return list;
}

const std::string kTestKey = "SOFTWARE\\Quillendor\\Test";
const std::string kTestValue = "Setting";

} // namespace

Q_DECLARE_METATYPE(KeySetup)

class TestSysInfo : public QObject {
    Q_OBJECT

private slots:
    void getKeyValue_data();
    void getKeyValue();
    void startSysInfo_data();
    void startSysInfo();
    void unavailableMessageText();

#ifndef Q_OS_WIN
    void linuxRegistry_data();
    void linuxRegistry();
    void linuxRegistryIsReadOnly_data();
    void linuxRegistryIsReadOnly();
    void linuxQueryDoesNotOverrunBuffer();
    void linuxFileExists_data();
    void linuxFileExists();
    void linuxStartFailures_data();
    void linuxStartFailures();
    void linuxStartRunsWholePathAndReaps_data();
    void linuxStartRunsWholePathAndReaps();
    void linuxStartSysInfo_data();
    void linuxStartSysInfo();
#endif
};

void TestSysInfo::getKeyValue_data()
{
    QTest::addColumn<KeySetup>("setup");
    QTest::addColumn<uint>("root");
    QTest::addColumn<QByteArray>("initial");
    QTest::addColumn<int>("error");  // 0: none, otherwise the expected error number
    QTest::addColumn<bool>("result");
    QTest::addColumn<QByteArray>("keyVal");

    const QByteArray kept = "kept as passed";
    const QByteArray z(1, '\0');

    // Text values.
    QTest::newRow("text with terminating zero") << text("C:\\Tools\\msinfo32.exe") << uint(kHKLM) << kept << 0 << true
                                                << QByteArray("C:\\Tools\\msinfo32.exe");
    QTest::newRow("text without terminating zero")
        << value(kTypeText, "C:\\Tools\\msinfo32.exe") << uint(kHKLM) << kept << 0 << true
        << QByteArray("C:\\Tools\\msinfo32.exe");
    QTest::newRow("empty text") << text("") << uint(kHKLM) << kept << 0 << true << QByteArray();
    QTest::newRow("only the last zero is dropped")
        << value(kTypeText, "ab" + z + "cd" + z + z) << uint(kHKLM) << kept << 0 << true << QByteArray("ab" + z + "cd" + z);
    QTest::newRow("ANSI bytes kept as they are")
        << text("C:\\Programme\\\xC4rger\\\xE9t\xE9.exe") << uint(kHKLM) << kept << 0 << true
        << QByteArray("C:\\Programme\\\xC4rger\\\xE9t\xE9.exe");
    QTest::newRow("text filling the buffer exactly") << value(kTypeText, QByteArray(1024, 'x')) << uint(kHKLM) << kept
                                                     << 0 << true << QByteArray(1024, 'x');
    QTest::newRow("text with zero filling the buffer")
        << value(kTypeText, QByteArray(1023, 'y') + z) << uint(kHKLM) << kept << 0 << true << QByteArray(1023, 'y');

    // REG_DWORD: "&h" and the digits, most significant byte first; a zero top byte is dropped with
    // the terminating-zero rule, leaving six digits. The general formatting keeps the text as is.
    QTest::newRow("dword 15 gives six digits") << bytes({0x0F, 0, 0, 0}) << uint(kHKLM) << kept << 0 << true
                                               << QByteArray("&h00000F");
    QTest::newRow("dword 0x12345678 gives eight digits")
        << bytes({0x78, 0x56, 0x34, 0x12}) << uint(kHKLM) << kept << 0 << true << QByteArray("&h12345678");
    QTest::newRow("dword digits are upper case")
        << bytes({0x01, 0xEF, 0xCD, 0xAB}) << uint(kHKLM) << kept << 0 << true << QByteArray("&hABCDEF01");
    QTest::newRow("dword 0x00FF0000") << bytes({0, 0, 0xFF, 0}) << uint(kHKLM) << kept << 0 << true
                                      << QByteArray("&hFF0000");
    QTest::newRow("dword zero") << bytes({0, 0, 0, 0}) << uint(kHKLM) << kept << 0 << true << QByteArray("&h000000");
    QTest::newRow("dword top bit") << bytes({0, 0, 0, 0x80}) << uint(kHKLM) << kept << 0 << true
                                   << QByteArray("&h80000000");
    QTest::newRow("dword ignores what KeyVal held") << bytes({0x0F, 0, 0, 0}) << uint(kHKLM) << QByteArray()
                                                    << 0 << true << QByteArray("&h00000F");

    // Other types are not converted.
    QTest::newRow("binary leaves KeyVal") << bytes({1, 2, 3}, 3) << uint(kHKLM) << kept << 0 << true << kept;
    QTest::newRow("expandable text leaves KeyVal")
        << value(2, "%SystemRoot%\\msinfo32.exe" + z) << uint(kHKLM) << kept << 0 << true << kept;
    QTest::newRow("multi-text leaves KeyVal") << value(7, "a" + z + "b" + z + z) << uint(kHKLM) << kept << 0 << true
                                              << kept;
    QTest::newRow("qword leaves KeyVal") << bytes({1, 0, 0, 0, 0, 0, 0, 0}, 11) << uint(kHKLM) << kept << 0 << true
                                         << kept;

    // Not found: KeyVal emptied.
    QTest::newRow("key absent") << absentKey() << uint(kHKLM) << kept << 0 << false << QByteArray();
    QTest::newRow("key under another root") << text("C:\\x") << uint(kHKCU) << kept << 0 << false << QByteArray();
    QTest::newRow("value absent") << keyWithoutValue() << uint(kHKLM) << kept << 0 << false << QByteArray();
    QTest::newRow("text over 1,024 bytes") << value(kTypeText, QByteArray(1025, 'x')) << uint(kHKLM) << kept << 0
                                           << false << QByteArray();
    QTest::newRow("text of 1,024 bytes plus zero") << text(QByteArray(1024, 'x')) << uint(kHKLM) << kept << 0 << false
                                                   << QByteArray();
    QTest::newRow("query refused") << failingQuery(kStatusAccessDenied) << uint(kHKLM) << kept << 0 << false
                                   << QByteArray();
    QTest::newRow("query fails otherwise") << failingQuery(1234) << uint(kHKLM) << kept << 0 << false << QByteArray();
    KeySetup misreport = text("C:\\x");
    misreport.lengthBeyondBuffer = true;
    QTest::newRow("length beyond the buffer is not read") << misreport << uint(kHKLM) << kept << 0 << false
                                                          << QByteArray();

    // Access: the key is only read, so a key that refuses write rights is still found.
    QTest::newRow("read allowed, write refused")
        << value(kTypeText, "C:\\Tools\\msinfo32.exe" + z, KeyAccess::ReadOnly) << uint(kHKLM) << kept << 0 << true
        << QByteArray("C:\\Tools\\msinfo32.exe");
    QTest::newRow("dword read allowed, write refused")
        << value(kTypeNumber, QByteArray("\x78\x56\x34\x12", 4), KeyAccess::ReadOnly) << uint(kHKLM) << kept << 0
        << true << QByteArray("&h12345678");
    QTest::newRow("no access at all") << value(kTypeText, "C:\\x" + z, KeyAccess::NoAccess) << uint(kHKLM) << kept << 0
                                      << false << QByteArray();

    // Zero bytes of data: an invalid-argument error, KeyVal untouched.
    const int invalid = int(ErrorCode::InvalidProcedureCall);
    QTest::newRow("zero-length text") << value(kTypeText, {}) << uint(kHKLM) << kept << invalid << false << kept;
    QTest::newRow("zero-length dword") << value(kTypeNumber, {}) << uint(kHKLM) << kept << invalid << false << kept;
    QTest::newRow("zero-length binary") << value(3, {}) << uint(kHKLM) << kept << invalid << false << kept;
    QTest::newRow("zero-length none") << value(0, {}) << uint(kHKLM) << QByteArray() << invalid << false
                                      << QByteArray();

    // Errors of the services go to the caller as errors.
    QTest::newRow("library missing at open") << faulty(Fault::OpenThrows) << uint(kHKLM) << kept
                                             << int(ErrorCode::DllNotFound) << false << kept;
    QTest::newRow("entry point missing at query") << faulty(Fault::QueryThrows) << uint(kHKLM) << kept
                                                  << int(ErrorCode::EntryPointNotFound) << false << kept;
}

void TestSysInfo::getKeyValue()
{
    QFETCH(KeySetup, setup);
    QFETCH(uint, root);
    QFETCH(QByteArray, initial);
    QFETCH(int, error);
    QFETCH(bool, result);
    QFETCH(QByteArray, keyVal);

    FakeServices fake;
    fake.addKey(kHKLM, kTestKey, kTestValue, setup);

    std::string KeyVal = initial.toStdString();
    int thrown = 0;
    bool found = false;
    try {
        found = GetKeyValue(fake, root, kTestKey, kTestValue, KeyVal);
    } catch (const RuntimeError& e) {
        thrown = e.number();
    }

    QCOMPARE(thrown, error);
    if (error == 0)
        QCOMPARE(found, result);
    QCOMPARE(QByteArray::fromStdString(KeyVal), keyVal);

    // One open, read-only, options 0, the root and path as given; one 1,024-byte zeroed buffer.
    QCOMPARE(fake.opens.size(), std::size_t(1));
    QCOMPARE(fake.opens[0].root, std::uint32_t(root));
    QCOMPARE(fake.opens[0].path, kTestKey);
    QCOMPARE(fake.opens[0].options, std::uint32_t(0));
    QCOMPARE(fake.opens[0].mask, std::uint32_t(0x20019));
    QVERIFY(fake.queries <= 1);
    QVERIFY(!fake.bufferFaults);

    // No key stays open, none is released twice.
    QCOMPARE(fake.openKeyCount(), std::size_t(0));
    QVERIFY(!fake.badClose);
    QCOMPARE(fake.closes, fake.successfulOpens);
}

void TestSysInfo::startSysInfo_data()
{
    QTest::addColumn<KeySetup>("primary");
    QTest::addColumn<KeySetup>("fallback");
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QStringList>("programs");
    QTest::addColumn<bool>("fileTestThrows");
    QTest::addColumn<QStringList>("expectOpened");  // "P" primary key, "F" fallback key
    QTest::addColumn<QStringList>("expectFileTests");
    QTest::addColumn<QStringList>("expectStartAttempts");
    QTest::addColumn<bool>("expectStarted");
    QTest::addColumn<bool>("expectMessage");

    const QString tool = "C:\\WINDOWS\\system32\\msinfo32.exe";
    const QString spaced = "C:\\Program Files\\Common Files\\Microsoft Shared\\MSInfo\\msinfo32.exe";
    const QString folder = "C:\\Tools";
    const QString inFolder = "C:\\Tools\\MSINFO32.EXE";
    const QStringList P{"P"};
    const QStringList PF{"P", "F"};
    const QStringList none;

    // Primary lookup.
    QTest::newRow("primary starts the path") << text(tool.toLatin1()) << text(folder.toLatin1()) << QStringList{tool}
                                             << QStringList{tool} << false << P << none << QStringList{tool} << true
                                             << false;
    QTest::newRow("primary is not tested for existence")
        << text(tool.toLatin1()) << absentKey() << none << QStringList{tool} << false << P << none
        << QStringList{tool} << true << false;
    QTest::newRow("unquoted path with spaces started whole")
        << text(spaced.toLatin1()) << absentKey() << QStringList{spaced}
        << QStringList{spaced, "C:\\Program", "C:\\Program.exe", "C:\\Program Files\\Common.exe"} << false << P << none
        << QStringList{spaced} << true << false;
    QTest::newRow("primary read allowed, write refused")
        << value(kTypeText, tool.toLatin1() + '\0', KeyAccess::ReadOnly) << absentKey() << none << QStringList{tool}
        << false << P << none << QStringList{tool} << true << false;
    QTest::newRow("primary names a missing file: message, no fallback")
        << text("C:\\Gone\\msinfo32.exe") << text(folder.toLatin1()) << QStringList{inFolder}
        << QStringList{inFolder} << false << P << none << QStringList{"C:\\Gone\\msinfo32.exe"} << false << true;
    QTest::newRow("primary empty text: message") << text("") << text(folder.toLatin1()) << QStringList{inFolder}
                                                 << QStringList{inFolder} << false << P << none << QStringList{""}
                                                 << false << true;
    QTest::newRow("primary binary: empty path, message")
        << bytes({0x43, 0x3A}, 3) << text(folder.toLatin1()) << QStringList{inFolder} << QStringList{inFolder} << false
        << P << none << QStringList{""} << false << true;
    QTest::newRow("primary dword: no such program, message")
        << bytes({0x0F, 0, 0, 0}) << absentKey() << none << QStringList{tool} << false << P << none
        << QStringList{"&h00000F"} << false << true;
    QTest::newRow("primary zero-length: message, no fallback")
        << value(kTypeText, {}) << text(folder.toLatin1()) << QStringList{inFolder} << QStringList{inFolder} << false
        << P << none << none << false << true;
    QTest::newRow("primary lookup error: message, no fallback")
        << faulty(Fault::OpenThrows) << text(folder.toLatin1()) << QStringList{inFolder} << QStringList{inFolder}
        << false << P << none << none << false << true;
    QTest::newRow("primary query error: message, no fallback")
        << faulty(Fault::QueryThrows) << text(folder.toLatin1()) << QStringList{inFolder} << QStringList{inFolder}
        << false << P << none << none << false << true;

    // Fallback lookup.
    QTest::newRow("no primary key: fallback folder with the tool")
        << absentKey() << text(folder.toLatin1()) << QStringList{inFolder} << QStringList{inFolder} << false << PF
        << QStringList{inFolder} << QStringList{inFolder} << true << false;
    QTest::newRow("no primary value: fallback folder with the tool")
        << keyWithoutValue() << text(folder.toLatin1()) << QStringList{inFolder} << QStringList{inFolder} << false
        << PF << QStringList{inFolder} << QStringList{inFolder} << true << false;
    QTest::newRow("primary over 1,024 bytes: fallback")
        << value(kTypeText, QByteArray(1100, 'x')) << text(folder.toLatin1()) << QStringList{inFolder}
        << QStringList{inFolder} << false << PF << QStringList{inFolder} << QStringList{inFolder} << true << false;
    QTest::newRow("primary key refuses reading: fallback")
        << value(kTypeText, tool.toLatin1(), KeyAccess::NoAccess) << text(folder.toLatin1()) << QStringList{inFolder}
        << QStringList{inFolder, tool} << false << PF << QStringList{inFolder} << QStringList{inFolder} << true
        << false;
    QTest::newRow("fallback read allowed, write refused")
        << absentKey() << value(kTypeText, folder.toLatin1() + '\0', KeyAccess::ReadOnly) << QStringList{inFolder}
        << QStringList{inFolder} << false << PF << QStringList{inFolder} << QStringList{inFolder} << true << false;
    QTest::newRow("fallback folder without the tool: message")
        << absentKey() << text(folder.toLatin1()) << none << QStringList{inFolder} << false << PF
        << QStringList{inFolder} << none << false << true;
    QTest::newRow("fallback tool exists but cannot start: message")
        << absentKey() << text(folder.toLatin1()) << QStringList{inFolder} << none << false << PF
        << QStringList{inFolder} << QStringList{inFolder} << false << true;
    QTest::newRow("fallback existence test fails: message")
        << absentKey() << text(folder.toLatin1()) << QStringList{inFolder} << QStringList{inFolder} << true << PF
        << QStringList{inFolder} << none << false << true;
    QTest::newRow("fallback binary: the file name alone")
        << absentKey() << bytes({1, 2}, 3) << QStringList{"\\MSINFO32.EXE"} << QStringList{"\\MSINFO32.EXE"} << false
        << PF << QStringList{"\\MSINFO32.EXE"} << QStringList{"\\MSINFO32.EXE"} << true << false;
    QTest::newRow("fallback binary, no such file: message")
        << absentKey() << bytes({1, 2}, 3) << QStringList{inFolder} << QStringList{inFolder} << false << PF
        << QStringList{"\\MSINFO32.EXE"} << none << false << true;
    QTest::newRow("fallback zero-length: message") << absentKey() << value(kTypeText, {}) << QStringList{inFolder}
                                                   << QStringList{inFolder} << false << PF << none << none << false
                                                   << true;
    QTest::newRow("fallback lookup error: message")
        << absentKey() << faulty(Fault::OpenThrows) << QStringList{inFolder} << QStringList{inFolder} << false << PF
        << none << none << false << true;
    QTest::newRow("neither key: one message") << absentKey() << absentKey() << QStringList{inFolder}
                                              << QStringList{inFolder} << false << PF << none << none << false << true;
}

void TestSysInfo::startSysInfo()
{
    QFETCH(KeySetup, primary);
    QFETCH(KeySetup, fallback);
    QFETCH(QStringList, files);
    QFETCH(QStringList, programs);
    QFETCH(bool, fileTestThrows);
    QFETCH(QStringList, expectOpened);
    QFETCH(QStringList, expectFileTests);
    QFETCH(QStringList, expectStartAttempts);
    QFETCH(bool, expectStarted);
    QFETCH(bool, expectMessage);

    FakeServices fake;
    fake.addKey(kHKLM, std::string(kPrimaryKey), std::string(kPrimaryValue), primary);
    fake.addKey(kHKLM, std::string(kFallbackKey), std::string(kFallbackValue), fallback);
    for (const QString& f : files)
        fake.files.insert(f.toStdString());
    for (const QString& p : programs)
        fake.programs.insert(p.toStdString());
    fake.fileTestThrows = fileTestThrows;

    StartSysInfo(fake);  // never throws: an escaping error fails the test

    QStringList opened;
    for (const FakeServices::OpenCall& call : fake.opens) {
        QCOMPARE(call.root, kHKLM);
        QCOMPARE(call.mask, std::uint32_t(0x20019));
        opened << (call.path == "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO"           ? "P"
                   : call.path == "SOFTWARE\\Microsoft\\Shared Tools Location" ? "F"
                                                                               : QString::fromStdString(call.path));
    }
    QCOMPARE(opened, expectOpened);
    QCOMPARE(toList(fake.fileTests), expectFileTests);
    QCOMPARE(toList(fake.startAttempts), expectStartAttempts);
    QCOMPARE(fake.started.size(), std::size_t(expectStarted ? 1 : 0));
    if (expectMessage)
        QCOMPARE(toList(fake.messages), QStringList{"System Information Is Unavailable At This Time"});
    else
        QVERIFY(fake.messages.empty());

    QCOMPARE(fake.openKeyCount(), std::size_t(0));
    QCOMPARE(fake.closes, fake.successfulOpens);
    QVERIFY(!fake.badClose);
    QVERIFY(!fake.bufferFaults);
}

void TestSysInfo::unavailableMessageText()
{
    // A second run reads the registry afresh and shows the message again: nothing is kept.
    FakeServices fake;
    StartSysInfo(fake);
    StartSysInfo(fake);
    QCOMPARE(toList(fake.messages), QStringList({"System Information Is Unavailable At This Time",
                                                 "System Information Is Unavailable At This Time"}));
    QCOMPARE(fake.opens.size(), std::size_t(4));
    QCOMPARE(formatGeneralValue("&h00000F"), std::string("&h00000F"));
}

#ifndef Q_OS_WIN

namespace {

// Makes `path` an executable shell script with `body`.
bool writeScript(const QString& path, const QByteArray& body)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return false;
    f.write("#!/bin/sh\n" + body + "\n");
    f.close();
    return f.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

bool writeFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write("x") == 1;
}

QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// True once this process has no child left, running or zombie.
bool allChildrenReaped(int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    for (;;) {
        siginfo_t info{};
        if (::waitid(P_ALL, 0, &info, WEXITED | WNOHANG | WNOWAIT) == -1 && errno == ECHILD)
            return true;
        if (deadline.hasExpired())
            return false;
        QThread::msleep(10);
    }
}

// Lays out candidate tools in `dir`: "name:exec" an executable, "name:plain" a file that cannot be
// run, "name:dir" a folder, "name:missing" nothing. Returns the candidate paths.
std::vector<std::string> layOut(const QDir& dir, const QStringList& layout)
{
    std::vector<std::string> tools;
    for (const QString& item : layout) {
        const QString name = item.section(':', 0, 0);
        const QString kind = item.section(':', 1, 1);
        const QString path = dir.filePath(name);
        if (kind == "exec")
            writeScript(path, "exit 0");
        else if (kind == "plain")
            writeFile(path);
        else if (kind == "dir")
            dir.mkpath(name);
        tools.push_back(path.toStdString());
    }
    return tools;
}

} // namespace

void TestSysInfo::linuxRegistry_data()
{
    QTest::addColumn<QStringList>("tools");
    QTest::addColumn<uint>("root");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("valueName");
    QTest::addColumn<bool>("found");
    QTest::addColumn<QString>("expected");  // a tool's name for its path, "<dir>" for the folder

    const QString P = "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO";
    const QString F = "SOFTWARE\\Microsoft\\Shared Tools Location";

    QTest::newRow("path of the first installed tool")
        << QStringList{"a:missing", "b:exec", "c:exec"} << uint(kHKLM) << P << "PATH" << true << "b";
    QTest::newRow("folder of the first installed tool")
        << QStringList{"a:missing", "b:exec"} << uint(kHKLM) << F << "MSINFO" << true << "<dir>";
    QTest::newRow("files that cannot run are skipped")
        << QStringList{"a:plain", "b:dir", "c:exec"} << uint(kHKLM) << P << "PATH" << true << "c";
    QTest::newRow("names regardless of case") << QStringList{"a:exec"} << uint(kHKLM) << P.toLower() << "path"
                                              << true << "a";
    QTest::newRow("none installed: primary absent")
        << QStringList{"a:missing", "b:plain", "c:dir"} << uint(kHKLM) << P << "PATH" << false << "";
    QTest::newRow("none installed: fallback absent") << QStringList{"a:missing"} << uint(kHKLM) << F << "MSINFO"
                                                     << false << "";
    QTest::newRow("other root") << QStringList{"a:exec"} << uint(kHKCU) << P << "PATH" << false << "";
    QTest::newRow("other key") << QStringList{"a:exec"} << uint(kHKLM) << P + "\\Sub" << "PATH" << false << "";
    QTest::newRow("other value") << QStringList{"a:exec"} << uint(kHKLM) << P << "MSINFO" << false << "";
}

void TestSysInfo::linuxRegistry()
{
    QFETCH(QStringList, tools);
    QFETCH(uint, root);
    QFETCH(QString, key);
    QFETCH(QString, valueName);
    QFETCH(bool, found);
    QFETCH(QString, expected);

    QTemporaryDir tmp;
    QVERIFY(tmp.isValid());
    const QDir dir(tmp.path());
    LinuxServices services({}, layOut(dir, tools));

    std::string keyVal = "before";
    QCOMPARE(GetKeyValue(services, root, key.toStdString(), valueName.toStdString(), keyVal), found);
    const QString want = expected.isEmpty() ? QString() : expected == "<dir>" ? dir.path() : dir.filePath(expected);
    QCOMPARE(QString::fromStdString(keyVal), want);
    QCOMPARE(services.openKeyCount(), std::size_t(0));
}

void TestSysInfo::linuxRegistryIsReadOnly_data()
{
    QTest::addColumn<uint>("mask");
    QTest::addColumn<int>("status");

    QTest::newRow("read") << 0x20019u << int(kStatusSuccess);
    QTest::newRow("query value only") << 0x1u << int(kStatusSuccess);
    QTest::newRow("read and write") << 0x2003Fu << int(kStatusAccessDenied);
    QTest::newRow("set value") << 0x2u << int(kStatusAccessDenied);
    QTest::newRow("create sub-key") << 0x4u << int(kStatusAccessDenied);
    QTest::newRow("delete") << 0x10000u << int(kStatusAccessDenied);
    QTest::newRow("generic write") << 0x40000000u << int(kStatusAccessDenied);
}

void TestSysInfo::linuxRegistryIsReadOnly()
{
    QFETCH(uint, mask);
    QFETCH(int, status);

    QTemporaryDir tmp;
    QVERIFY(tmp.isValid());
    LinuxServices services({}, layOut(QDir(tmp.path()), {"tool:exec"}));
    const OpenKeyResult opened = services.openKey(kHKLM, std::string(kPrimaryKey), 0, mask);
    QCOMPARE(int(opened.status), status);
    QCOMPARE(services.openKeyCount(), std::size_t(status == kStatusSuccess ? 1 : 0));
    if (opened.status == kStatusSuccess)
        services.closeKey(opened.key);
    QCOMPARE(services.openKeyCount(), std::size_t(0));
}

void TestSysInfo::linuxQueryDoesNotOverrunBuffer()
{
    QTemporaryDir tmp;
    QVERIFY(tmp.isValid());
    const std::string tool = QDir(tmp.path()).filePath("tool").toStdString();
    QVERIFY(writeScript(QString::fromStdString(tool), "exit 0"));
    LinuxServices services({}, {tool});

    const OpenKeyResult opened = services.openKey(kHKLM, std::string(kPrimaryKey), 0, KEY_READ_ACCESS);
    QCOMPARE(opened.status, kStatusSuccess);

    // Too small: refused, nothing written, the length needed reported.
    std::array<std::uint8_t, 8> small{};
    const QueryValueResult tooSmall = services.queryValue(opened.key, "PATH", std::span<std::uint8_t>(small).first(4));
    QCOMPARE(tooSmall.status, kStatusMoreData);
    QCOMPARE(tooSmall.length, std::uint32_t(tool.size() + 1));
    QVERIFY(std::all_of(small.begin(), small.end(), [](std::uint8_t b) { return b == 0; }));

    // Large enough: a text stored with its terminating zero.
    std::array<std::uint8_t, kValueBufferSize> buffer{};
    const QueryValueResult q = services.queryValue(opened.key, "PATH", buffer);
    QCOMPARE(q.status, kStatusSuccess);
    QCOMPARE(q.type, kTypeText);
    QCOMPARE(q.length, std::uint32_t(tool.size() + 1));
    QCOMPARE(std::string(reinterpret_cast<const char*>(buffer.data()), q.length), tool + std::string(1, '\0'));

    services.closeKey(opened.key);
    QCOMPARE(services.queryValue(opened.key, "PATH", buffer).status, kStatusInvalidHandle);
}

void TestSysInfo::linuxFileExists_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<bool>("exists");

    QTest::newRow("ordinary file") << "file" << true;
    QTest::newRow("name with spaces") << "spaced" << true;
    QTest::newRow("link to a file") << "link" << true;
    QTest::newRow("folder") << "dir" << false;
    QTest::newRow("hidden file") << "hidden" << false;
    QTest::newRow("missing") << "missing" << false;
    QTest::newRow("empty path") << "empty" << false;
    QTest::newRow("cut short at a zero") << "nul" << false;
}

void TestSysInfo::linuxFileExists()
{
    QFETCH(QString, kind);
    QFETCH(bool, exists);

    QTemporaryDir tmp;
    QVERIFY(tmp.isValid());
    const QDir dir(tmp.path());
    QVERIFY(writeFile(dir.filePath("MSINFO32.EXE")));
    QVERIFY(writeFile(dir.filePath("sys info.exe")));
    QVERIFY(writeFile(dir.filePath(".MSINFO32.EXE")));
    QVERIFY(dir.mkpath("folder"));
    QVERIFY(QFile::link(dir.filePath("MSINFO32.EXE"), dir.filePath("link.exe")));

    std::string path;
    if (kind == "file")
        path = dir.filePath("MSINFO32.EXE").toStdString();
    else if (kind == "spaced")
        path = dir.filePath("sys info.exe").toStdString();
    else if (kind == "link")
        path = dir.filePath("link.exe").toStdString();
    else if (kind == "dir")
        path = dir.filePath("folder").toStdString();
    else if (kind == "hidden")
        path = dir.filePath(".MSINFO32.EXE").toStdString();
    else if (kind == "missing")
        path = dir.filePath("MSINFO32.EX").toStdString();
    else if (kind == "nul")
        path = dir.filePath("MSINFO32.EXE").toStdString() + std::string(1, '\0') + "x";

    LinuxServices services({});
    QCOMPARE(services.fileExists(path), exists);
}

void TestSysInfo::linuxStartFailures_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<int>("error");

    QTest::newRow("empty path") << "empty" << int(ErrorCode::InvalidProcedureCall);
    QTest::newRow("nonexistent") << "missing" << int(ErrorCode::FileNotFound);
    QTest::newRow("folder") << "dir" << int(ErrorCode::FileNotFound);
    QTest::newRow("not executable") << "plain" << int(ErrorCode::FileNotFound);
    QTest::newRow("cut short at a zero") << "nul" << int(ErrorCode::FileNotFound);
    QTest::newRow("command line, not a path") << "cmdline" << int(ErrorCode::FileNotFound);
}

void TestSysInfo::linuxStartFailures()
{
    QFETCH(QString, kind);
    QFETCH(int, error);

    QTemporaryDir tmp;
    QVERIFY(tmp.isValid());
    const QDir dir(tmp.path());
    const QString marker = dir.filePath("ran");
    QVERIFY(writeScript(dir.filePath("tool"), "touch '" + marker.toUtf8() + "'"));
    QVERIFY(writeFile(dir.filePath("plain")));
    QVERIFY(dir.mkpath("folder"));

    std::string path;
    if (kind == "missing")
        path = dir.filePath("nothing-here").toStdString();
    else if (kind == "dir")
        path = dir.filePath("folder").toStdString();
    else if (kind == "plain")
        path = dir.filePath("plain").toStdString();
    else if (kind == "nul")
        path = dir.filePath("tool").toStdString() + std::string(1, '\0') + "x";
    else if (kind == "cmdline")
        path = dir.filePath("tool").toStdString() + " --help";

    LinuxServices services({});
    int thrown = 0;
    try {
        services.startProgram(path);
    } catch (const RuntimeError& e) {
        thrown = e.number();
    }
    QCOMPARE(thrown, error);
    QVERIFY(allChildrenReaped(5000));
    QVERIFY(!QFile::exists(marker));
}

void TestSysInfo::linuxStartRunsWholePathAndReaps_data()
{
    QTest::addColumn<bool>("probe");  // the probe script reports what it saw; /bin/true only runs

    QTest::newRow("/bin/true") << false;
    QTest::newRow("path with spaces, environment inherited, less the program's own") << true;
}

void TestSysInfo::linuxStartRunsWholePathAndReaps()
{
    QFETCH(bool, probe);

    QTemporaryDir tmp;
    QVERIFY(tmp.isValid());
    const QDir dir(tmp.path());
    const QString marker = dir.filePath("ran");
    const QString decoyMarker = dir.filePath("decoy-ran");
    std::string path = "/bin/true";
    if (probe) {
        QVERIFY(dir.mkpath("sys info"));
        // What a split at the first space would start instead.
        QVERIFY(writeScript(dir.filePath("sys"), "touch '" + decoyMarker.toUtf8() + "'"));
        QVERIFY(writeScript(dir.filePath("sys info/tool"),
                            "printf '%s\\n' \"$QUILL_SYSINFO_PROBE\" \"${QUILL_SYSINFO_OWN-unset}\" > '"
                                + marker.toUtf8() + ".part' && mv '"
                                + marker.toUtf8() + ".part' '" + marker.toUtf8() + "'"));
        path = dir.filePath("sys info/tool").toStdString();
    }
    const QByteArray token = "inherited-" + QByteArray::number(::getpid());
    qputenv("QUILL_SYSINFO_PROBE", token);
    // Set by the application for itself alone, as the session bus's "disabled:" is. The name
    // "QUILL_SYSINFO" is no variable's, and must leave QUILL_SYSINFO_PROBE alone.
    qputenv("QUILL_SYSINFO_OWN", "own");

    LinuxServices services({}, LinuxServices::defaultTools(), {"QUILL_SYSINFO_OWN", "QUILL_SYSINFO"});
    services.startProgram(path);

    if (probe)
        QTRY_COMPARE_WITH_TIMEOUT(readAll(marker), token + "\nunset\n", 5000);
    QVERIFY2(allChildrenReaped(5000), "a started program stayed behind as a child or zombie");
    QVERIFY(!QFile::exists(decoyMarker));
    qunsetenv("QUILL_SYSINFO_PROBE");
    qunsetenv("QUILL_SYSINFO_OWN");
}

void TestSysInfo::linuxStartSysInfo_data()
{
    QTest::addColumn<bool>("installed");

    QTest::newRow("tool installed: started") << true;
    QTest::newRow("none installed: message") << false;
}

void TestSysInfo::linuxStartSysInfo()
{
    QFETCH(bool, installed);

    QTemporaryDir tmp;
    QVERIFY(tmp.isValid());
    const QDir dir(tmp.path());
    const QString marker = dir.filePath("ran");
    const QString tool = dir.filePath("system info");
    if (installed)
        QVERIFY(writeScript(tool, "touch '" + marker.toUtf8() + "'"));

    std::vector<std::string> messages;
    LinuxServices services([&](const std::string& text) { messages.push_back(text); },
                           {dir.filePath("absent").toStdString(), tool.toStdString()});
    StartSysInfo(services);

    if (installed) {
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(marker), 5000);
        QVERIFY(messages.empty());
    } else {
        QCOMPARE(toList(messages), QStringList{"System Information Is Unavailable At This Time"});
        QVERIFY(!QFile::exists(marker));
    }
    QCOMPARE(services.openKeyCount(), std::size_t(0));
    QVERIFY(allChildrenReaped(5000));
}

#endif

QTEST_GUILESS_MAIN(TestSysInfo)
#include "tst_sysinfo.moc"
