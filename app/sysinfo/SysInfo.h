// SPDX-License-Identifier: MIT
#pragma once

// The system-information launcher of the reveal dialog: StartSysInfo finds the system-information
// tool through two registry entries and starts it; GetKeyValue reads one registry value as text.
// Plain C++ over the platform services, so that it can be tested without a registry.

#include "Catalog.h"
#include "sysinfo/Services.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace quill::sysinfo {

inline constexpr std::uint32_t HKEY_LOCAL_MACHINE_ROOT = 0x80000002u;

// Read-only access: STANDARD_RIGHTS_READ | KEY_QUERY_VALUE | KEY_ENUMERATE_SUB_KEYS | KEY_NOTIFY.
// The keys are only read, so no write rights are asked for (ordinary users are refused those on
// HKEY_LOCAL_MACHINE).
inline constexpr std::uint32_t KEY_READ_ACCESS = 0x20019u;
inline constexpr std::uint32_t kOpenOptions = 0;

inline constexpr std::size_t kValueBufferSize = 1024;

inline constexpr std::uint32_t kTypeText = 1;    // REG_SZ
inline constexpr std::uint32_t kTypeNumber = 4;  // REG_DWORD

// Where the tool's full path is kept.
inline constexpr std::string_view kPrimaryKey = "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO";
inline constexpr std::string_view kPrimaryValue = "PATH";
// Where the folder of the tool is kept, if the full path is not.
inline constexpr std::string_view kFallbackKey = "SOFTWARE\\Microsoft\\Shared Tools Location";
inline constexpr std::string_view kFallbackValue = "MSINFO";
inline constexpr std::string_view kToolFileName = "\\MSINFO32.EXE";

inline constexpr std::string_view kNumberPrefix = "&h";
// Shown in the user's language (it is a text of the catalog).
inline constexpr std::string_view kUnavailableMessage =
    N_("System Information Is Unavailable At This Time");

// Reads the value `SubKeyRef` of the key `KeyName` below `KeyRoot` into `KeyVal`.
// Returns false (with KeyVal emptied) when the key cannot be opened or the value cannot be read,
// including a value longer than the 1,024-byte buffer. A text value (REG_SZ) comes back as its bytes
// without a terminating zero; a REG_DWORD comes back as "&h" and its hexadecimal digits; any other
// type leaves KeyVal as it was and returns true. A value with no data at all throws
// quill::RuntimeError(InvalidProcedureCall) and leaves KeyVal as it was. The key is released after
// every outcome, errors included.
bool GetKeyValue(Services& services, std::uint32_t KeyRoot, const std::string& KeyName,
                 const std::string& SubKeyRef, std::string& KeyVal);

// Starts the system-information tool named in the registry, or tells the user it is unavailable.
// Failures of the lookups, the file test or the start are not passed on: they end in the message
// box.
void StartSysInfo(Services& services);

// The general formatting applied to a converted REG_DWORD. With no format pattern it keeps the text
// as it is: "&h00000F" stays "&h00000F" (it is not turned into "15"); the launcher only ever uses
// the text values.
std::string formatGeneralValue(const std::string& text);

} // namespace quill::sysinfo
