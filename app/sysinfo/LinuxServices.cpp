// SPDX-License-Identifier: MIT
#include "sysinfo/LinuxServices.h"

#include "RuntimeError.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string_view>
#include <system_error>
#include <thread>

#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace quill::sysinfo {

namespace {

constexpr std::uint32_t kHKeyLocalMachine = 0x80000002u;
constexpr std::uint32_t kTypeText = 1;

// Rights that would let the caller change the key: set value, create sub-key, create link, delete,
// write DAC, write owner, generic all, generic write.
constexpr std::uint32_t kWriteRights = 0x0002u | 0x0004u | 0x0020u | 0x00010000u | 0x00040000u
                                       | 0x00080000u | 0x10000000u | 0x40000000u;

constexpr char kPathKey[] = "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO";
constexpr char kPathValue[] = "PATH";
constexpr char kFolderKey[] = "SOFTWARE\\Microsoft\\Shared Tools Location";
constexpr char kFolderValue[] = "MSINFO";

// Registry names compare without regard to case.
bool sameName(const std::string& a, const char* b)
{
    const std::size_t n = std::strlen(b);
    if (a.size() != n)
        return false;
    for (std::size_t i = 0; i < n; ++i) {
        const auto x = static_cast<unsigned char>(a[i]);
        const auto y = static_cast<unsigned char>(b[i]);
        if (x != y && !(x < 128 && y < 128 && std::tolower(x) == std::tolower(y)))
            return false;
    }
    return true;
}

bool hasNul(const std::string& s)
{
    return s.find('\0') != std::string::npos;
}

bool isExecutableFile(const std::string& path)
{
    struct stat st {};
    return !path.empty() && !hasNul(path) && ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode)
        && ::access(path.c_str(), X_OK) == 0;
}

std::string folderOf(const std::string& path)
{
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return {};
    return slash == 0 ? std::string("/") : path.substr(0, slash);
}

// Closes the spawn attributes on every way out.
struct SpawnAttributes {
    posix_spawnattr_t attr;
    SpawnAttributes() { posix_spawnattr_init(&attr); }
    ~SpawnAttributes() { posix_spawnattr_destroy(&attr); }
    SpawnAttributes(const SpawnAttributes&) = delete;
    SpawnAttributes& operator=(const SpawnAttributes&) = delete;
};

} // namespace

const std::vector<std::string>& LinuxServices::defaultTools()
{
    static const std::vector<std::string> tools{
        "/usr/bin/hardinfo",              // HardInfo
        "/usr/bin/hardinfo2",             // HardInfo2
        "/usr/bin/kinfocenter",           // KDE Info Center
        "/usr/bin/cpu-x",                 // CPU-X
        "/usr/bin/gnome-system-monitor",  // GNOME System Monitor
    };
    return tools;
}

LinuxServices::LinuxServices(MessageBox showMessage, std::vector<std::string> tools,
                             std::vector<std::string> notInherited)
    : m_showMessage(std::move(showMessage)), m_tools(std::move(tools)), m_notInherited(std::move(notInherited))
{}

std::string LinuxServices::installedTool() const
{
    for (const std::string& tool : m_tools) {
        if (isExecutableFile(tool))
            return tool;
    }
    return {};
}

OpenKeyResult LinuxServices::openKey(std::uint32_t root, const std::string& path, std::uint32_t /*options*/,
                                     std::uint32_t accessMask)
{
    const bool pathKey = sameName(path, kPathKey);
    const bool folderKey = sameName(path, kFolderKey);
    if (root != kHKeyLocalMachine || (!pathKey && !folderKey))
        return {kStatusNotFound, 0};

    // Looked for afresh on every open: installing or removing a tool shows at the next lookup.
    const std::string tool = installedTool();
    if (tool.empty())
        return {kStatusNotFound, 0};
    if (accessMask & kWriteRights)
        return {kStatusAccessDenied, 0};

    OpenKey key;
    key.valueName = pathKey ? kPathValue : kFolderValue;
    key.text = pathKey ? tool : folderOf(tool);

    std::lock_guard lock(m_mutex);
    const KeyHandle handle = m_nextKey++;
    m_openKeys.emplace(handle, std::move(key));
    return {kStatusSuccess, handle};
}

QueryValueResult LinuxServices::queryValue(KeyHandle key, const std::string& name, std::span<std::uint8_t> buffer)
{
    std::lock_guard lock(m_mutex);
    const auto it = m_openKeys.find(key);
    if (it == m_openKeys.end())
        return {kStatusInvalidHandle, 0, 0};
    if (!sameName(name, it->second.valueName.c_str()))
        return {kStatusNotFound, 0, 0};

    const std::string& text = it->second.text;
    const std::size_t needed = text.size() + 1;  // stored with its terminating zero
    if (needed > buffer.size())
        return {kStatusMoreData, kTypeText, static_cast<std::uint32_t>(needed)};
    std::copy(text.begin(), text.end(), buffer.begin());
    buffer[text.size()] = 0;
    return {kStatusSuccess, kTypeText, static_cast<std::uint32_t>(needed)};
}

void LinuxServices::closeKey(KeyHandle key)
{
    std::lock_guard lock(m_mutex);
    m_openKeys.erase(key);
}

std::size_t LinuxServices::openKeyCount() const
{
    std::lock_guard lock(m_mutex);
    return m_openKeys.size();
}

bool LinuxServices::fileExists(const std::string& path)
{
    if (path.empty() || hasNul(path))
        return false;
    // A name starting with a dot is what counts as hidden here; there are no system files.
    const auto slash = path.find_last_of('/');
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    if (name.empty() || name.front() == '.')
        return false;
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

void LinuxServices::startProgram(const std::string& path)
{
    if (path.empty())
        throw RuntimeError(ErrorCode::InvalidProcedureCall, "no program to start");
    // A path cut short at an embedded zero would name a different program.
    if (hasNul(path) || !isExecutableFile(path))
        throw RuntimeError(ErrorCode::FileNotFound, path);

    SpawnAttributes spawn;
    short flags = POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF;
#ifdef POSIX_SPAWN_SETSID
    flags |= POSIX_SPAWN_SETSID;  // its own session: it runs on its own, apart from this program
#endif
    posix_spawnattr_setflags(&spawn.attr, flags);
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigmask(&spawn.attr, &none);
    sigset_t defaults;
    sigemptyset(&defaults);
    for (int sig : {SIGHUP, SIGINT, SIGQUIT, SIGPIPE, SIGALRM, SIGTERM, SIGUSR1, SIGUSR2, SIGCHLD, SIGTSTP,
                    SIGTTIN, SIGTTOU})
        sigaddset(&defaults, sig);
    posix_spawnattr_setsigdefault(&spawn.attr, &defaults);

    // The environment as the user had it: without what this program set for itself alone.
    std::vector<char*> env;
    for (char** entry = environ; *entry; ++entry) {
        const std::string_view variable(*entry);
        const auto named = [&](const std::string& name) {
            return variable.starts_with(name) && variable.size() > name.size() && variable[name.size()] == '=';
        };
        if (std::none_of(m_notInherited.begin(), m_notInherited.end(), named))
            env.push_back(*entry);
    }
    env.push_back(nullptr);

    std::string argv0 = path;
    char* argv[] = {argv0.data(), nullptr};
    pid_t pid = -1;
    const int error = ::posix_spawn(&pid, path.c_str(), nullptr, &spawn.attr, argv, env.data());
    if (error != 0)
        throw RuntimeError(ErrorCode::FileNotFound, path + ": " + std::strerror(error));

    // The tool is not waited for, but it must not stay behind as a zombie when it ends. A detached
    // thread waits for this one child only, so no process-wide SIGCHLD disposition is changed and
    // other children of the program (QProcess and the like) are left to their owners. If the program
    // ends first, the tool is handed to init, which reaps it.
    try {
        std::thread([pid] {
            while (::waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
            }
        }).detach();
    } catch (const std::system_error&) {
        // No thread to be had: the tool has started all the same, and is reaped when this program ends.
    }
}

void LinuxServices::showMessage(const std::string& text)
{
    if (m_showMessage)
        m_showMessage(text);
    else
        std::fprintf(stderr, "%s\n", text.c_str());
}

} // namespace quill::sysinfo
