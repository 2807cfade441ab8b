// SPDX-License-Identifier: MIT
// What a screen reader hears of a running program's windows, read through the accessibility
// runtime as one reads it (AccessibleObjectFromWindow, then the name, role and description of each
// window's client object), from outside the program. Run in the same Wine prefix and on the same
// display as the program:
//
//   read_names.exe probe        whether this oleacc hands back a name set through
//                               IAccPropServices, and the roles it gives labels, buttons, check
//                               boxes and edit boxes, tried on windows of our own
//   read_names.exe TITLE...     every visible window of the program with one of these captions
//   read_names.exe texts TITLE...
//                               the texts every visible window of the program with one of these
//                               captions shows (its message boxes' too): its own and its
//                               controls' (WM_GETTEXT)
//
// One JSON object a line, for the end-to-end case to compare: {"probe": ...} or
// {"window": TITLE, "role": N, "name": ..., "description": ...,
//  "controls": [{"class": ..., "role": N, "name": ..., "description": ...}, ...]}.
// A window not found gives {"window": TITLE, "missing": true}. With "texts", one object a window
// found: {"window": TITLE, "class": ..., "text": ..., "texts": [{"class": ..., "text": ...}, ...]}.

#include <initguid.h>
#include <windows.h>
#include <objbase.h>
#include <oleacc.h>

#include "Json.h"

#include <cstdio>
#include <string>
#include <vector>

namespace {

std::string utf8(const wchar_t *text, int length = -1)
{
    if (!text)
        return {};
    const int size = WideCharToMultiByte(CP_UTF8, 0, text, length, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(size > 0 ? size : 0), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, length, out.data(), size, nullptr, nullptr);
    if (length < 0 && !out.empty())
        out.pop_back();
    return out;
}

struct Heard {
    long role = -1;
    std::string name, description;
    HRESULT found = E_FAIL;
};

Heard hear(HWND window)
{
    Heard heard;
    IAccessible *object = nullptr;
    heard.found = AccessibleObjectFromWindow(window, static_cast<DWORD>(OBJID_CLIENT), IID_IAccessible,
                                             reinterpret_cast<void **>(&object));
    if (FAILED(heard.found) || !object)
        return heard;
    VARIANT self{};
    self.vt = VT_I4;
    self.lVal = CHILDID_SELF;
    BSTR text = nullptr;
    if (object->get_accName(self, &text) == S_OK && text)
        heard.name = utf8(text, static_cast<int>(SysStringLen(text)));
    SysFreeString(text);
    text = nullptr;
    if (object->get_accDescription(self, &text) == S_OK && text)
        heard.description = utf8(text, static_cast<int>(SysStringLen(text)));
    SysFreeString(text);
    VARIANT role{};
    if (object->get_accRole(self, &role) == S_OK && role.vt == VT_I4)
        heard.role = role.lVal;
    object->Release();
    return heard;
}

std::string fields(const Heard &h)
{
    return "\"role\": " + std::to_string(h.role) + ", \"name\": " + json(h.name)
           + ", \"description\": " + json(h.description);
}

// Whether this oleacc answers with a name given through its property service: set on a window
// of our own, whose own text says something else; and the role it gives each kind of control.
int probe()
{
    const HWND window = CreateWindowExW(0, L"BUTTON", L"own text", WS_POPUP, 0, 0, 10, 10,
                                        nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    IAccPropServices *service = nullptr;
    HRESULT created = CoCreateInstance(CLSID_AccPropServices, nullptr, CLSCTX_INPROC_SERVER,
                                       IID_IAccPropServices, reinterpret_cast<void **>(&service));
    HRESULT set = E_FAIL;
    if (SUCCEEDED(created) && service)
        set = service->SetHwndPropStr(window, static_cast<DWORD>(OBJID_CLIENT), CHILDID_SELF,
                                      PROPID_ACC_NAME, L"given name");
    const Heard heard = hear(window);
    // And the roles it gives the kinds of control the program makes, on controls of our own.
    struct Kind {
        const char *kind;
        const wchar_t *cls;
        DWORD style;
    };
    const Kind kinds[] = {{"label", L"STATIC", SS_LEFT}, {"push button", L"BUTTON", BS_PUSHBUTTON},
                          {"check box", L"BUTTON", BS_3STATE}, {"text", L"EDIT", ES_LEFT}};
    std::string roles;
    for (const Kind &k : kinds) {
        const HWND control = CreateWindowExW(0, k.cls, L"", WS_CHILD | k.style, 0, 0, 5, 5, window,
                                             nullptr, GetModuleHandleW(nullptr), nullptr);
        roles += std::string(roles.empty() ? "" : ", ") + json(k.kind) + ": "
                 + std::to_string(hear(control).role);
    }
    std::printf("{\"probe\": %s, \"created\": %ld, \"set\": %ld, \"heard\": %s, "
                "\"roles\": {%s}}\n",
                heard.name == "given name" ? "true" : "false", static_cast<long>(created),
                static_cast<long>(set), json(heard.name).c_str(), roles.c_str());
    if (service)
        service->Release();
    DestroyWindow(window);
    return 0;
}

BOOL CALLBACK child(HWND window, LPARAM l)
{
    reinterpret_cast<std::vector<HWND> *>(l)->push_back(window);
    return TRUE;
}

struct Search {
    std::wstring title;
    std::vector<HWND> found;
    bool messageBoxes = false; // the system's dialog class too
};

BOOL CALLBACK topLevel(HWND window, LPARAM l)
{
    auto &search = *reinterpret_cast<Search *>(l);
    wchar_t cls[64] = {};
    GetClassNameW(window, cls, 64);
    wchar_t title[256] = {};
    GetWindowTextW(window, title, 256);
    const std::wstring kind = cls;
    if (IsWindowVisible(window) && search.title == title
        && (kind == L"QuillendorForm" || (search.messageBoxes && kind == L"#32770")))
        search.found.push_back(window);
    return TRUE;
}

std::string textOf(HWND window)
{
    wchar_t cls[64] = {};
    GetClassNameW(window, cls, 64);
    // Asked of the window itself: GetWindowText gives another program's controls' first texts
    // only, and an edit box's none.
    DWORD_PTR length = 0;
    SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 2000, &length);
    std::wstring text(length + 1, L'\0');
    DWORD_PTR copied = 0;
    SendMessageTimeoutW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()),
                        SMTO_ABORTIFHUNG, 2000, &copied);
    text.resize(copied);
    return "\"class\": " + json(utf8(cls)) + ", \"text\": " + json(utf8(text.c_str()));
}

void texts(const std::wstring &title)
{
    Search search{title, {}, true};
    EnumWindows(topLevel, reinterpret_cast<LPARAM>(&search));
    if (search.found.empty())
        std::printf("{\"window\": %s, \"missing\": true}\n", json(utf8(title.c_str())).c_str());
    for (HWND window : search.found) {
        std::vector<HWND> children;
        EnumChildWindows(window, child, reinterpret_cast<LPARAM>(&children));
        std::string line = "{\"window\": " + json(utf8(title.c_str())) + ", " + textOf(window)
                           + ", \"texts\": [";
        for (std::size_t i = 0; i < children.size(); ++i)
            line += std::string(i ? ", " : "") + "{" + textOf(children[i]) + "}";
        std::printf("%s]}\n", line.c_str());
    }
}

void report(const std::wstring &title)
{
    Search search{title, {}};
    EnumWindows(topLevel, reinterpret_cast<LPARAM>(&search));
    if (search.found.empty()) {
        std::printf("{\"window\": %s, \"missing\": true}\n", json(utf8(title.c_str())).c_str());
        return;
    }
    // The form's own window: a full-screen form's covers of other monitors have no controls.
    HWND window = search.found.front();
    std::vector<HWND> children;
    for (HWND w : search.found) {
        children.clear();
        EnumChildWindows(w, child, reinterpret_cast<LPARAM>(&children));
        if (!children.empty()) {
            window = w;
            break;
        }
    }
    children.clear();
    EnumChildWindows(window, child, reinterpret_cast<LPARAM>(&children));
    std::string line = "{\"window\": " + json(utf8(title.c_str())) + ", " + fields(hear(window))
                       + ", \"controls\": [";
    bool first = true;
    for (HWND c : children) {
        wchar_t cls[64] = {};
        GetClassNameW(c, cls, 64);
        line += std::string(first ? "" : ", ") + "{\"class\": " + json(utf8(cls)) + ", "
                + fields(hear(c)) + "}";
        first = false;
    }
    std::printf("%s]}\n", line.c_str());
}

} // namespace

int wmain(int argc, wchar_t **argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: read_names.exe probe | TITLE... | texts TITLE...\n");
        return 2;
    }
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    if (std::wstring(argv[1]) == L"probe")
        probe();
    else if (std::wstring(argv[1]) == L"texts")
        for (int i = 2; i < argc; ++i)
            texts(argv[i]);
    else
        for (int i = 1; i < argc; ++i)
            report(argv[i]);
    std::fflush(stdout);
    CoUninitialize();
    return 0;
}
