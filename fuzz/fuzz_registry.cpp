// SPDX-License-Identifier: MIT
// Fuzzes GetKeyValue's decoding of registry data: the fuzzer decides the statuses, the value type,
// the length the registry reports and the bytes it writes. Whatever they are, no key may stay
// open, nothing may be read past the buffer, and the text that comes back must follow the rules for
// its type.

#include "RuntimeError.h"
#include "sysinfo/SysInfo.h"

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

using namespace quill;
using namespace quill::sysinfo;

namespace {

void check(bool condition)
{
    if (!condition)
        std::abort();
}

struct FuzzedRegistry final : Services {
    std::int32_t openStatus = 0;
    std::int32_t queryStatus = 0;
    std::uint32_t type = 1;
    std::uint32_t reportedLength = 0;
    std::vector<std::uint8_t> bytes;
    int open = 0;

    OpenKeyResult openKey(std::uint32_t, const std::string &, std::uint32_t, std::uint32_t) override
    {
        if (openStatus != 0)
            return {openStatus, 0};
        ++open;
        return {0, 42};
    }
    QueryValueResult queryValue(KeyHandle key, const std::string &, std::span<std::uint8_t> buffer) override
    {
        check(key == 42 && open == 1);
        check(buffer.size() == 1024);
        if (!bytes.empty())
            std::memcpy(buffer.data(), bytes.data(), std::min(bytes.size(), buffer.size()));
        return {queryStatus, type, reportedLength};
    }
    void closeKey(KeyHandle key) override
    {
        check(key == 42);
        --open;
    }
    bool fileExists(const std::string &) override { return false; }
    void startProgram(const std::string &) override {}
    void showMessage(const std::string &) override {}
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size < 8)
        return 0;
    FuzzedRegistry registry;
    registry.openStatus = data[0] % 4 == 0 ? 2 : 0;
    registry.queryStatus = data[1] % 4 == 0 ? 234 : 0;
    registry.type = data[2] % 8;
    // Mostly the length of what follows, sometimes any length at all.
    const std::uint32_t rest = static_cast<std::uint32_t>(size - 8);
    std::uint32_t anyLength = 0;
    std::memcpy(&anyLength, data + 4, 4);
    registry.reportedLength = data[3] % 8 == 0 ? anyLength : rest;
    registry.bytes.assign(data + 8, data + size);

    const std::string before = "unchanged";
    std::string value = before;
    bool result = false;
    bool failed = false;
    try {
        result = GetKeyValue(registry, HKEY_LOCAL_MACHINE_ROOT, "SOFTWARE\\Key", "Value", value);
    } catch (const RuntimeError &e) {
        failed = true;
        check(e.code() == ErrorCode::InvalidProcedureCall);
    }
    check(registry.open == 0);
    if (failed) {
        check(value == before);
        return 0;
    }
    if (!result) {
        check(value.empty());
        return 0;
    }
    const std::uint32_t length = registry.reportedLength;
    check(length > 0 && length <= 1024);
    std::string data_(reinterpret_cast<const char *>(registry.bytes.data()),
                      std::min<std::size_t>(length, registry.bytes.size()));
    data_.resize(length, '\0'); // the buffer was zero-filled before the query
    if (data_.back() == '\0')
        data_.pop_back();
    if (registry.type == 1) {
        check(value == data_);
    } else if (registry.type == 4) {
        check(value.rfind("&h", 0) == 0);
        check(value.size() == 2 + 2 * data_.size());
        for (std::size_t i = 2; i < value.size(); ++i)
            check(std::strchr("0123456789ABCDEF", value[i]) != nullptr);
    } else {
        check(value == before);
    }
    return 0;
}
