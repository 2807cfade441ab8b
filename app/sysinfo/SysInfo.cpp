// SPDX-License-Identifier: MIT
#include "sysinfo/SysInfo.h"

#include "RuntimeError.h"

#include <array>

namespace quill::sysinfo {

namespace {

// Most significant byte first, two upper-case hexadecimal digits per byte, after "&h".
std::string numberText(std::string_view data)
{
    static constexpr char digits[] = "0123456789ABCDEF";
    std::string text(kNumberPrefix);
    for (auto it = data.rbegin(); it != data.rend(); ++it) {
        const auto byte = static_cast<unsigned char>(*it);
        text += digits[byte >> 4];
        text += digits[byte & 0x0F];
    }
    return formatGeneralValue(text);
}

// Reads the value of an open key; the caller releases the key.
bool readValue(Services& services, KeyHandle key, const std::string& SubKeyRef, std::string& KeyVal)
{
    std::array<std::uint8_t, kValueBufferSize> buffer{};
    const QueryValueResult query = services.queryValue(key, SubKeyRef, buffer);
    // A length beyond the buffer can only come from a faulty service; it is treated like data that
    // does not fit rather than read past the buffer.
    if (query.status != kStatusSuccess || query.length > buffer.size()) {
        KeyVal.clear();
        return false;
    }
    if (query.length == 0)
        throw RuntimeError(ErrorCode::InvalidProcedureCall, "registry value " + SubKeyRef + " has no data");

    std::string_view data(reinterpret_cast<const char*>(buffer.data()), query.length);
    if (data.back() == '\0')  // the terminating zero of a text, whatever the type
        data.remove_suffix(1);

    switch (query.type) {
    case kTypeText:
        KeyVal.assign(data);
        break;
    case kTypeNumber:
        KeyVal = numberText(data);
        break;
    default:
        break;  // other types are not converted: KeyVal stays as the caller passed it
    }
    return true;
}

// Primary lookup: the tool's full path, started as it is. Fallback lookup: the tool's folder, started
// only if the tool is there. Returns false when neither gives a program to start.
bool startRegisteredTool(Services& services)
{
    std::string programPath;
    if (!GetKeyValue(services, HKEY_LOCAL_MACHINE_ROOT, std::string(kPrimaryKey), std::string(kPrimaryValue),
                     programPath)) {
        if (!GetKeyValue(services, HKEY_LOCAL_MACHINE_ROOT, std::string(kFallbackKey),
                         std::string(kFallbackValue), programPath))
            return false;
        if (!services.fileExists(programPath + std::string(kToolFileName)))
            return false;
        programPath += kToolFileName;
    }
    services.startProgram(programPath);
    return true;
}

} // namespace

std::string formatGeneralValue(const std::string& text)
{
    return text;
}

bool GetKeyValue(Services& services, std::uint32_t KeyRoot, const std::string& KeyName,
                 const std::string& SubKeyRef, std::string& KeyVal)
{
    const OpenKeyResult opened = services.openKey(KeyRoot, KeyName, kOpenOptions, KEY_READ_ACCESS);
    if (opened.status != kStatusSuccess) {
        KeyVal.clear();
        return false;
    }

    bool found = false;
    try {
        found = readValue(services, opened.key, SubKeyRef, KeyVal);
    } catch (...) {
        services.closeKey(opened.key);
        throw;
    }
    services.closeKey(opened.key);
    return found;
}

void StartSysInfo(Services& services)
{
    bool started = false;
    try {
        started = startRegisteredTool(services);
    } catch (...) {
        // An error from a lookup, the file test or the start ends in the message like any other
        // failure; an error in the primary lookup does not go on to the fallback lookup.
        started = false;
    }
    if (!started)
        services.showMessage(std::string(kUnavailableMessage));
}

} // namespace quill::sysinfo
