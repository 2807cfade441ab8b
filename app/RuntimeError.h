// SPDX-License-Identifier: MIT
#pragma once

// The errors a handler can fail with. A failing operation throws a RuntimeError; the event delivery
// in app/ catches it and hands it to the default error report. The numbers are the classic run-time
// error numbers users of this kind of program know from their message boxes.

#include "Catalog.h"

#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>

namespace quill {

enum class ErrorCode : int {
    InvalidProcedureCall = 5,
    Overflow = 6,
    TypeMismatch = 13,
    FileNotFound = 53,
    InvalidPropertyValue = 380,
    ObjectRequired = 424,
    DllNotFound = 48,
    EntryPointNotFound = 453,
};

constexpr std::string_view describe(ErrorCode code)
{
    switch (code) {
    case ErrorCode::InvalidProcedureCall: return N_("Invalid procedure call or argument");
    case ErrorCode::Overflow: return N_("Overflow");
    case ErrorCode::TypeMismatch: return N_("Type mismatch");
    case ErrorCode::FileNotFound: return N_("File not found");
    case ErrorCode::InvalidPropertyValue: return N_("Invalid property value");
    case ErrorCode::ObjectRequired: return N_("Object required");
    case ErrorCode::DllNotFound: return N_("File not found: advapi32");
    case ErrorCode::EntryPointNotFound: return N_("Can't find DLL entry point");
    }
    return N_("Application-defined or object-defined error");
}

class RuntimeError : public std::runtime_error {
public:
    explicit RuntimeError(ErrorCode code, std::string detail = {})
        : std::runtime_error(detail.empty() ? std::string(describe(code))
                                            : std::string(describe(code)) + " (" + detail + ')'),
          m_code(code), m_detail(std::move(detail))
    {}

    ErrorCode code() const noexcept { return m_code; }
    int number() const noexcept { return static_cast<int>(m_code); }
    // What went wrong in the program's own words, for whoever mends it; may be empty.
    const std::string &detail() const noexcept { return m_detail; }

private:
    ErrorCode m_code;
    std::string m_detail;
};

} // namespace quill
