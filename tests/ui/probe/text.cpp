// Reading texts from another process: the messages are sent in their wide
// forms, which Wine carries across processes correctly (the narrow list-box
// text comes back as UTF-16 from it), with a time limit, as the program
// under test may be busy between two of its message pumps.
#include "text.h"

#include <cstdio>

namespace probe {

namespace {

constexpr UINT answerWait = 10000; // ms a busy window gets to answer one message
constexpr size_t escapeSize = 8;    // "<XX>" and its terminating zero, with room
constexpr wchar_t firstPrintable = L' ';
constexpr wchar_t deleteCharacter = 0x7F;
// The line may change between LB_GETTEXTLEN and LB_GETTEXT (the list empties
// itself during a scan), and the reply is copied back at the length the list
// then has: room for a line longer than any the program can format.
constexpr size_t lineSlack = 1024;

bool isControl(wchar_t c) {
    return (c < firstPrintable || c == deleteCharacter) && c != L'\t';
}

std::string utf8(const std::wstring& text) {
    if (text.empty())
        return std::string();
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                         nullptr, nullptr);
    if (size <= 0)
        return std::string();
    std::string out(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &out[0], size, nullptr, nullptr);
    return out;
}

bool send(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    DWORD_PTR answer = 0;
    if (!SendMessageTimeoutW(window, message, wParam, lParam, SMTO_NORMAL, answerWait, &answer))
        return false;
    result = static_cast<LRESULT>(answer);
    return true;
}

} // namespace

std::string printable(const std::wstring& text) {
    std::wstring plain;
    std::string out;
    for (const wchar_t c : text) {
        if (!isControl(c)) {
            plain += c;
            continue;
        }
        out += utf8(plain);
        plain.clear();
        char escape[escapeSize];
        std::snprintf(escape, sizeof escape, "<%02X>", static_cast<unsigned>(c));
        out += escape;
    }
    return out + utf8(plain);
}

std::wstring wide(const std::string& text) {
    if (text.empty())
        return std::wstring();
    const int size = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    if (size <= 0)
        return std::wstring();
    std::wstring out(static_cast<size_t>(size), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &out[0], size);
    return out;
}

bool readText(HWND window, std::wstring& text) {
    LRESULT length = 0;
    if (!send(window, WM_GETTEXTLENGTH, 0, 0, length) || length < 0)
        return false;
    // One more for the terminating zero, and one spare should the text grow
    // between the two messages (WM_GETTEXT truncates to the buffer).
    std::vector<wchar_t> buffer(static_cast<size_t>(length) + 2, L'\0');
    LRESULT copied = 0;
    if (!send(window, WM_GETTEXT, buffer.size(), reinterpret_cast<LPARAM>(buffer.data()), copied))
        return false;
    if (copied < 0 || static_cast<size_t>(copied) >= buffer.size())
        copied = 0;
    text.assign(buffer.data(), static_cast<size_t>(copied));
    return true;
}

LRESULT askList(HWND list, UINT message, WPARAM wParam) {
    LRESULT result = LB_ERR;
    if (!send(list, message, wParam, 0, result))
        return LB_ERR;
    return result;
}

bool readListLines(HWND list, std::vector<std::wstring>& lines) {
    const LRESULT count = askList(list, LB_GETCOUNT, 0);
    if (count == LB_ERR)
        return false;
    for (LRESULT i = 0; i < count; ++i) {
        const LRESULT length = askList(list, LB_GETTEXTLEN, static_cast<WPARAM>(i));
        if (length == LB_ERR || length < 0)
            return false;
        std::vector<wchar_t> buffer(static_cast<size_t>(length) + 1 + lineSlack, L'\0');
        LRESULT copied = LB_ERR;
        if (!send(list, LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(buffer.data()), copied) ||
            copied == LB_ERR || copied < 0 || static_cast<size_t>(copied) >= buffer.size())
            return false;
        lines.emplace_back(buffer.data(), static_cast<size_t>(copied));
    }
    return true;
}

} // namespace probe
