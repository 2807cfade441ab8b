// SPDX-License-Identifier: MIT
#pragma once

// The lifecycle operations on one window "A" while another window keeps the program alive: the
// Load and Unload events they run and the state A ends in. Plain values, shared by the Qt Test
// suite and the Windows build's tests under Wine.

#include <string>
#include <vector>

namespace quill::test {

struct OperationsCase {
    const char *name;
    std::vector<std::string> ops;    // "show", "hide", "unload"
    std::vector<std::string> events; // as the registry traces them
    std::string state;               // "unloaded", "hidden" or "visible"
};

inline std::vector<OperationsCase> operationsCases()
{
    return {
        {"show loads", {"show"}, {"Load A"}, "visible"},
        {"hide loads hidden", {"hide"}, {"Load A"}, "hidden"},
        {"show twice loads once", {"show", "show"}, {"Load A"}, "visible"},
        {"hide then show", {"hide", "show"}, {"Load A"}, "visible"},
        {"show then hide", {"show", "hide"}, {"Load A"}, "hidden"},
        {"unload never loaded", {"unload"}, {}, "unloaded"},
        {"unload twice", {"show", "unload", "unload"}, {"Load A", "Unload A"}, "unloaded"},
        {"show after unload loads afresh", {"show", "unload", "show"},
         {"Load A", "Unload A", "Load A"}, "visible"},
    };
}

} // namespace quill::test
