// SPDX-License-Identifier: MIT
#include "sysinfo/WindowsServices.h"

#include "RuntimeError.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

namespace quill::sysinfo {

namespace {

using RegOpenKeyExAFn = LONG(WINAPI*)(HKEY, LPCSTR, DWORD, REGSAM, PHKEY);
using RegQueryValueExAFn = LONG(WINAPI*)(HKEY, LPCSTR, LPDWORD, LPDWORD, LPBYTE, LPDWORD);
using RegCloseKeyFn = LONG(WINAPI*)(HKEY);

constexpr const char* kEntryNames[] = {"RegOpenKeyExA", "RegQueryValueExA", "RegCloseKey"};

std::size_t indexOf(WindowsServices::RegistryFunction function)
{
    return static_cast<std::size_t>(function);
}

// A root key value such as 0x80000002 is a 32-bit LONG; as a handle it is sign-extended, the way
// the predefined HKEY_LOCAL_MACHINE is.
HKEY rootHandle(std::uint32_t root)
{
    return reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(static_cast<LONG_PTR>(static_cast<LONG>(root))));
}

bool hasNul(const std::string& s)
{
    return s.find('\0') != std::string::npos;
}

} // namespace

WindowsServices::WindowsServices(std::string library, MessageFn message)
    : m_message(std::move(message)), m_libraryName(std::move(library))
{
}

WindowsServices::~WindowsServices()
{
    if (m_library)
        ::FreeLibrary(static_cast<HMODULE>(m_library));
}

void* WindowsServices::resolve(RegistryFunction function)
{
    void*& entry = m_entries[indexOf(function)];
    if (entry)
        return entry;
    if (!m_library) {
        m_library = ::LoadLibraryA(m_libraryName.c_str());
        if (!m_library)
            throw RuntimeError(ErrorCode::DllNotFound, m_libraryName);
    }
    ++m_lookups;
    entry = reinterpret_cast<void*>(::GetProcAddress(static_cast<HMODULE>(m_library), kEntryNames[indexOf(function)]));
    if (!entry)
        throw RuntimeError(ErrorCode::EntryPointNotFound, kEntryNames[indexOf(function)]);
    return entry;
}

bool WindowsServices::isResolved(RegistryFunction function) const
{
    return m_entries[indexOf(function)] != nullptr;
}

const void* WindowsServices::entryOf(RegistryFunction function) const
{
    return m_entries[indexOf(function)];
}

OpenKeyResult WindowsServices::openKey(std::uint32_t root, const std::string& path, std::uint32_t options,
                                       std::uint32_t accessMask)
{
    auto open = reinterpret_cast<RegOpenKeyExAFn>(resolve(RegistryFunction::OpenKey));
    if (hasNul(path))
        return {ERROR_FILE_NOT_FOUND, 0};
    HKEY key = nullptr;
    const LONG status = open(rootHandle(root), path.c_str(), options, accessMask, &key);
    if (status != ERROR_SUCCESS)
        return {static_cast<std::int32_t>(status), 0};
    return {kStatusSuccess, reinterpret_cast<KeyHandle>(key)};
}

QueryValueResult WindowsServices::queryValue(KeyHandle key, const std::string& name, std::span<std::uint8_t> buffer)
{
    auto query = reinterpret_cast<RegQueryValueExAFn>(resolve(RegistryFunction::QueryValue));
    if (hasNul(name))
        return {ERROR_FILE_NOT_FOUND, 0, 0};
    DWORD type = 0;
    DWORD length = static_cast<DWORD>(buffer.size());
    const LONG status = query(reinterpret_cast<HKEY>(key), name.c_str(), nullptr, &type, buffer.data(), &length);
    return {static_cast<std::int32_t>(status), static_cast<std::uint32_t>(type), static_cast<std::uint32_t>(length)};
}

void WindowsServices::closeKey(KeyHandle key)
{
    auto close = reinterpret_cast<RegCloseKeyFn>(resolve(RegistryFunction::CloseKey));
    close(reinterpret_cast<HKEY>(key));  // the outcome is of no use to the caller
}

bool WindowsServices::fileExists(const std::string& path)
{
    if (path.empty() || hasNul(path))
        return false;
    const DWORD attributes = ::GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return false;
    return (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) == 0;
}

void WindowsServices::startProgram(const std::string& path)
{
    if (path.empty())
        throw RuntimeError(ErrorCode::InvalidProcedureCall, "no program to start");
    // A path cut short at an embedded zero would name a different program; a quote cannot be part
    // of a file name.
    if (hasNul(path) || path.find('"') != std::string::npos)
        throw RuntimeError(ErrorCode::FileNotFound, path);

    // The program is named by lpApplicationName, so the path is taken whole and never searched for
    // the first space; the command line only repeats it, quoted, as the program's argv[0].
    std::string commandLine = '"' + path + '"';
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOWNORMAL;
    PROCESS_INFORMATION process{};
    if (!::CreateProcessA(path.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                          &startup, &process))
        throw RuntimeError(ErrorCode::FileNotFound, path + " (error " + std::to_string(::GetLastError()) + ')');
    // Neither waited for nor tracked.
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
}

void WindowsServices::showMessage(const std::string& text)
{
    if (m_message) {
        m_message(text);
        return;
    }
    ::MessageBoxA(nullptr, text.c_str(), "Quillendor", MB_OK);
}

} // namespace quill::sysinfo
