// SPDX-License-Identifier: MIT
#pragma once

// What the system-information launcher needs from the platform: a read-only view of the registry,
// a test for an ordinary file, starting a program and a message box. Windows supplies the real
// registry (WindowsServices); elsewhere a small built-in stand-in answers (LinuxServices). Tests
// supply an in-memory fake.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace quill::sysinfo {

// An open key as the platform hands it out; only meaningful to the services that opened it.
using KeyHandle = std::uintptr_t;

// Registry status codes (0 is success). The platform may return any other nonzero status.
inline constexpr std::int32_t kStatusSuccess = 0;
inline constexpr std::int32_t kStatusNotFound = 2;       // ERROR_FILE_NOT_FOUND
inline constexpr std::int32_t kStatusAccessDenied = 5;   // ERROR_ACCESS_DENIED
inline constexpr std::int32_t kStatusInvalidHandle = 6;  // ERROR_INVALID_HANDLE
inline constexpr std::int32_t kStatusMoreData = 234;     // ERROR_MORE_DATA

struct OpenKeyResult {
    std::int32_t status = kStatusNotFound;
    KeyHandle key = 0;  // valid only when status is kStatusSuccess
};

struct QueryValueResult {
    std::int32_t status = kStatusNotFound;
    std::uint32_t type = 0;    // registry value type (1 text, 4 32-bit number, ...)
    std::uint32_t length = 0;  // bytes written into the buffer on success
};

class Services {
public:
    virtual ~Services() = default;

    // Opens the key `path` below the root key `root` (e.g. 0x80000002 for HKEY_LOCAL_MACHINE).
    virtual OpenKeyResult openKey(std::uint32_t root, const std::string& path, std::uint32_t options,
                                  std::uint32_t accessMask) = 0;

    // Reads the value `name` of an open key into `buffer`; the buffer's size is the data length passed
    // in. Data that does not fit gives a nonzero status.
    virtual QueryValueResult queryValue(KeyHandle key, const std::string& name,
                                        std::span<std::uint8_t> buffer) = 0;

    // Releases a key handed out by openKey.
    virtual void closeKey(KeyHandle key) = 0;

    // True when an ordinary file (not a folder, not hidden, not a system file) exists at `path`.
    virtual bool fileExists(const std::string& path) = 0;

    // Starts the program at `path` as that program's own path (never as a command line, never through
    // a shell), with a normal window that has the focus. Does not wait for it. Throws
    // quill::RuntimeError when nothing can be started.
    virtual void startProgram(const std::string& path) = 0;

    // Shows `text` in a modal message box with an OK button only.
    virtual void showMessage(const std::string& text) = 0;
};

} // namespace quill::sysinfo
