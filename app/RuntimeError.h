// SPDX-License-Identifier: MIT
#pragma once

// The errors a handler can fail with. A failing operation throws a RuntimeError; the event delivery
// in app/ catches it and hands it to the default error report. The numbers are the classic run-time
// error numbers users of this kind of program know from their message boxes.

#include <stdexcept>
#include <string>
#include <string_view>

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
    case ErrorCode::InvalidProcedureCall: return "Invalid procedure call or argument";
    case ErrorCode::Overflow: return "Overflow";
    case ErrorCode::TypeMismatch: return "Type mismatch";
    case ErrorCode::FileNotFound: return "File not found";
    case ErrorCode::InvalidPropertyValue: return "Invalid property value";
    case ErrorCode::ObjectRequired: return "Object required";
    case ErrorCode::DllNotFound: return "File not found: advapi32";
    case ErrorCode::EntryPointNotFound: return "Can't find DLL entry point";
    }
    return "Application-defined or object-defined error";
}

class RuntimeError : public std::runtime_error {
public:
    explicit RuntimeError(ErrorCode code, std::string detail = {})
        : std::runtime_error(detail.empty() ? std::string(describe(code))
                                            : std::string(describe(code)) + " (" + detail + ')'),
          m_code(code)
    {}

    ErrorCode code() const noexcept { return m_code; }
    int number() const noexcept { return static_cast<int>(m_code); }

private:
    ErrorCode m_code;
};

} // namespace quill
