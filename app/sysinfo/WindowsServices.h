// SPDX-License-Identifier: MIT
#pragma once

// The launcher's platform services on Windows: the real registry through the ANSI functions of
// advapi32, each looked up by name the first time it is called and reused afterwards; the file test,
// the program start and the message box of the Win32 API.

#include "sysinfo/Services.h"

#include <array>
#include <functional>
#include <string>

namespace quill::sysinfo {

class WindowsServices : public Services {
public:
    enum class RegistryFunction { OpenKey, QueryValue, CloseKey };

    using MessageFn = std::function<void(const std::string&)>;

    // `library` is the system library holding the registry functions; only tests name another.
    // `message` shows a text in the program's own message box; without one, a plain box titled
    // with the program's name.
    explicit WindowsServices(std::string library = "advapi32", MessageFn message = {});
    ~WindowsServices() override;
    WindowsServices(const WindowsServices&) = delete;
    WindowsServices& operator=(const WindowsServices&) = delete;

    OpenKeyResult openKey(std::uint32_t root, const std::string& path, std::uint32_t options,
                          std::uint32_t accessMask) override;
    QueryValueResult queryValue(KeyHandle key, const std::string& name, std::span<std::uint8_t> buffer) override;
    void closeKey(KeyHandle key) override;
    bool fileExists(const std::string& path) override;
    void startProgram(const std::string& path) override;
    void showMessage(const std::string& text) override;

    // Whether a registry function has been looked up yet, the entry found, and how many lookups were
    // made in all (one per function at most).
    bool isResolved(RegistryFunction function) const;
    const void* entryOf(RegistryFunction function) const;
    int lookupCount() const { return m_lookups; }

private:
    void* resolve(RegistryFunction function);

    MessageFn m_message;
    std::string m_libraryName;
    void* m_library = nullptr;  // HMODULE, loaded at the first lookup
    std::array<void*, 3> m_entries{};
    int m_lookups = 0;
};

} // namespace quill::sysinfo
