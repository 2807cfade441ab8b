// SPDX-License-Identifier: MIT
#include "Forms.h"

#include "Form1.h"
#include "Form2.h"
#include "Form3.h"
#include "Registry.h"
#include "frmAbout1.h"

namespace quill::forms {

void defineWindows(Registry &registry)
{
    registry.define("Form1", [] { return std::make_unique<Form1>(); });
    registry.define("Form2", [] { return std::make_unique<Form2>(); });
    registry.define("Form3", [] { return std::make_unique<Form3>(); });
    registry.define("frmAbout1", [] { return std::make_unique<frmAbout1>(); });
}

const ProgramWindows &programWindows()
{
    static const ProgramWindows windows{
        defineWindows,
        [](std::string_view seconds, char32_t separator) -> std::optional<RuntimeError> {
            try {
                Form2::DelayInterval(seconds, separator);
                return std::nullopt;
            } catch (const RuntimeError &refused) {
                return refused;
            }
        },
        [](StartWith how, std::string_view seconds) {
            if (how != StartWith::Dialog)
                dynamic_cast<Form2 &>(Registry::current().window("Form2")).StartAsAsked(how, seconds);
        },
    };
    return windows;
}

} // namespace quill::forms
