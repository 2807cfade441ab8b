// SPDX-License-Identifier: MIT
#pragma once

// The launcher's platform services where there is no Windows registry.
//
// The two registry entries the launcher reads are answered by a built-in, read-only stand-in: nothing
// is read from or written to disk for them. On every open, the first installed program of a fixed list
// of system-information tools is looked for; the key "SOFTWARE\Microsoft\Shared Tools\MSINFO" then
// holds its full path as the text value "PATH", and "SOFTWARE\Microsoft\Shared Tools Location" holds
// its folder as "MSINFO". With none installed both keys are absent. Like HKEY_LOCAL_MACHINE for an
// ordinary user, the stand-in refuses any access mask that asks for write rights.
//
// Programs are started with posix_spawn (no shell, no search of PATH), argv[0] being the path and the
// environment inherited, less the variables the application set for itself alone (handed in). The
// message box belongs to the application and is handed in.

#include "sysinfo/Services.h"

#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace quill::sysinfo {

class LinuxServices : public Services {
public:
    using MessageBox = std::function<void(const std::string& text)>;

    // The well-known system-information tools, in order of preference.
    static const std::vector<std::string>& defaultTools();

    explicit LinuxServices(MessageBox showMessage, std::vector<std::string> tools = defaultTools(),
                           std::vector<std::string> notInherited = {});

    OpenKeyResult openKey(std::uint32_t root, const std::string& path, std::uint32_t options,
                          std::uint32_t accessMask) override;
    QueryValueResult queryValue(KeyHandle key, const std::string& name, std::span<std::uint8_t> buffer) override;
    void closeKey(KeyHandle key) override;
    bool fileExists(const std::string& path) override;
    void startProgram(const std::string& path) override;
    void showMessage(const std::string& text) override;

    // The first installed tool of the list, or empty text when none is installed.
    std::string installedTool() const;

    // Keys opened and not yet released.
    std::size_t openKeyCount() const;

private:
    struct OpenKey {
        std::string valueName;  // the one value the key holds
        std::string text;       // that value's text (stored with a terminating zero)
    };

    MessageBox m_showMessage;
    std::vector<std::string> m_tools;
    std::vector<std::string> m_notInherited;
    mutable std::mutex m_mutex;
    std::map<KeyHandle, OpenKey> m_openKeys;
    KeyHandle m_nextKey = 1;
};

} // namespace quill::sysinfo
