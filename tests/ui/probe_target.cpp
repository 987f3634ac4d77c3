// probe-target: a small window that the probe's own test reads and drives,
// so that the probe is known to tell the truth before it is trusted with the
// dialog program. Every action it gets shows in its status field 1065:
//   1052 "Add"    adds "line N<TAB>with tab" to list 1055; status "added N"
//   1053 "Hidden" (hidden); its command gives status "hidden pressed"
//   1054 "Off"    (disabled)
//   1070 "Ask"    asks a Yes/No question "Probe Question"; status "answer N"
//   1071 "Quit"   ends the program with exit code 7
//   1072 "Twice"  tells its clicks from its double-clicks (it notifies of
//                 both); status "clicks N double M"
//   Escape        status "escape N"
// A second window of the same title holds only the static 1086 "other".
// With the argument --no-window it shows nothing and waits for ever.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <cwchar>

namespace {

constexpr int addId = 1052;
constexpr int hiddenId = 1053;
constexpr int offId = 1054;
constexpr int askId = 1070;
constexpr int quitId = 1071;
constexpr int twiceId = 1072;
constexpr int statusId = 1065;
constexpr int listId = 1055;
constexpr int otherId = 1086;
constexpr int quitCode = 7;
constexpr int textSize = 64;
constexpr int windowWidth = 480;
constexpr int windowHeight = 240;
constexpr POINT mainPlace = {20, 20};
constexpr POINT otherPlace = {500, 300};
constexpr const wchar_t* title = L"Probe Target";
constexpr const wchar_t* windowClass = L"ProbeTarget";

struct Control {
    int id;
    const wchar_t* className;
    const wchar_t* text;
    DWORD style;
    int x, y, width, height;
};

constexpr DWORD button = WS_CHILD | WS_TABSTOP | BS_PUSHBUTTON;
constexpr Control controls[] = {
    {addId, L"BUTTON", L"Add", button | WS_VISIBLE, 10, 10, 80, 24},
    {hiddenId, L"BUTTON", L"Hidden", button, 100, 10, 80, 24},
    {offId, L"BUTTON", L"Off", button | WS_VISIBLE | WS_DISABLED, 190, 10, 80, 24},
    {askId, L"BUTTON", L"Ask", button | WS_VISIBLE, 280, 10, 80, 24},
    {quitId, L"BUTTON", L"Quit", button | WS_VISIBLE, 370, 10, 80, 24},
    {statusId, L"STATIC", L"ready", WS_CHILD | WS_VISIBLE | SS_LEFT, 10, 44, 440, 20},
    {listId, L"LISTBOX", L"", WS_CHILD | WS_VISIBLE | WS_BORDER | WS_VSCROLL | LBS_NOTIFY, 10, 70, 440, 100},
    {twiceId, L"BUTTON", L"Twice", button | WS_VISIBLE | BS_NOTIFY, 10, 176, 80, 24},
};

int linesAdded = 0;
int escapes = 0;
int twiceClicks = 0;
int twiceDoubles = 0;

void setStatus(HWND window, const wchar_t* format, int value) {
    wchar_t text[textSize];
    std::swprintf(text, textSize, format, value);
    SetDlgItemTextW(window, statusId, text);
}

// The Twice button also tells of its focus: only its clicks count.
void onTwice(HWND window, int notification) {
    if (notification == BN_CLICKED) {
        ++twiceClicks;
    } else if (notification == BN_DOUBLECLICKED) {
        ++twiceDoubles;
    } else {
        return;
    }
    wchar_t text[textSize];
    std::swprintf(text, textSize, L"clicks %d double %d", twiceClicks, twiceDoubles);
    SetDlgItemTextW(window, statusId, text);
}

void onCommand(HWND window, int id, int notification) {
    wchar_t line[textSize];
    switch (id) {
    case addId:
        ++linesAdded;
        std::swprintf(line, textSize, L"line %d\twith tab", linesAdded);
        SendDlgItemMessageW(window, listId, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line));
        setStatus(window, L"added %d", linesAdded);
        break;
    case hiddenId:
        SetDlgItemTextW(window, statusId, L"hidden pressed");
        break;
    case askId:
        setStatus(window, L"answer %d", MessageBoxW(window, L"Two\nlines?", L"Probe Question", MB_YESNO));
        break;
    case quitId:
        PostQuitMessage(quitCode);
        break;
    case twiceId:
        onTwice(window, notification);
        break;
    case IDCANCEL:
        setStatus(window, L"escape %d", ++escapes);
        break;
    default:
        break;
    }
}

LRESULT CALLBACK targetProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_COMMAND) {
        onCommand(window, LOWORD(wParam), HIWORD(wParam));
        return 0;
    }
    if (message == WM_CLOSE) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

HWND makeWindow(POINT place) {
    return CreateWindowExW(WS_EX_CONTROLPARENT, windowClass, title, WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU, place.x,
                           place.y, windowWidth, windowHeight, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
}

bool makeWindows(HWND& main) {
    WNDCLASSW windowType{};
    windowType.lpfnWndProc = targetProc;
    windowType.hInstance = GetModuleHandleW(nullptr);
    windowType.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowType.lpszClassName = windowClass;
    if (!RegisterClassW(&windowType))
        return false;
    HWND other = makeWindow(otherPlace);
    main = makeWindow(mainPlace);
    if (other == nullptr || main == nullptr)
        return false;
    const Control& first = controls[0];
    CreateWindowW(L"STATIC", L"other", WS_CHILD | WS_VISIBLE, first.x, first.y, first.width, first.height, other,
                  reinterpret_cast<HMENU>(static_cast<INT_PTR>(otherId)), nullptr, nullptr);
    for (const Control& c : controls) {
        CreateWindowW(c.className, c.text, c.style, c.x, c.y, c.width, c.height, main,
                      reinterpret_cast<HMENU>(static_cast<INT_PTR>(c.id)), nullptr, nullptr);
    }
    ShowWindow(other, SW_SHOW);
    ShowWindow(main, SW_SHOW);
    SetFocus(GetDlgItem(main, addId));
    return true;
}

} // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::strcmp(argv[1], "--no-window") == 0) {
        Sleep(INFINITE);
        return 0;
    }
    HWND main = nullptr;
    if (!makeWindows(main)) {
        std::fprintf(stderr, "probe-target: no window\n");
        return 1;
    }
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (IsDialogMessageW(main, &message))
            continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return static_cast<int>(message.wParam);
}
