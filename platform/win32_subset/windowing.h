// The simulated machine's Win32 subset: windows, the thread's message queue
// and the program's module.
#ifndef QUORVANE_PLATFORM_WIN32_SUBSET_WINDOWING_H
#define QUORVANE_PLATFORM_WIN32_SUBSET_WINDOWING_H

#include "base.h"

typedef struct SimWindow* HWND;
typedef struct SimModule* HINSTANCE;
typedef HINSTANCE HMODULE;
typedef void* HMENU;
typedef void* HICON;
typedef void* HCURSOR;
typedef void* HBRUSH;
typedef struct SimAtom* ATOM_PTR;
typedef WORD ATOM;

// Window messages and message-box codes.
#define WM_NULL 0x0000
#define WM_DESTROY 0x0002
#define WM_QUIT 0x0012
#define WM_KEYDOWN 0x0100
#define WM_SYSKEYDOWN 0x0104 // a key pressed while no control of the window has the focus, or with Alt
#define WM_KEYUP 0x0101
#define WM_TIMER 0x0113
#define WM_LBUTTONDOWN 0x0201
#define VK_ESCAPE 0x1B
#define PM_NOREMOVE 0x0000
#define PM_REMOVE 0x0001
#define HWND_MESSAGE ((HWND)(intptr_t)-3)
#define LOWORD(l) ((WORD)(((uintptr_t)(l)) & 0xffff))

#define MB_OK 0x00000000L
#define MB_OKCANCEL 0x00000001L
#define MB_YESNO 0x00000004L
#define MB_ICONQUESTION 0x00000020L
#define MB_ICONINFORMATION 0x00000040L
#define IDOK 1
#define IDCANCEL 2
#define IDYES 6
#define IDNO 7

typedef struct tagPOINT {
    LONG x;
    LONG y;
} POINT;

typedef struct tagMSG {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    DWORD time;
    POINT pt;
} MSG;

typedef LRESULT(CALLBACK* WNDPROC)(HWND, UINT, WPARAM, LPARAM);

typedef struct tagWNDCLASSA {
    UINT style;
    WNDPROC lpfnWndProc;
    int cbClsExtra;
    int cbWndExtra;
    HINSTANCE hInstance;
    HICON hIcon;
    HCURSOR hCursor;
    HBRUSH hbrBackground;
    LPCSTR lpszMenuName;
    LPCSTR lpszClassName;
} WNDCLASSA;

ATOM RegisterClassA(const WNDCLASSA* windowClass);
HWND CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style,
                     int x, int y, int width, int height, HWND parent, HMENU menu,
                     HINSTANCE instance, LPVOID param);
BOOL DestroyWindow(HWND window);
BOOL IsWindow(HWND window);
LRESULT DefWindowProcA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
BOOL PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
void PostQuitMessage(int exitCode);
BOOL PeekMessageA(MSG* msg, HWND window, UINT filterMin, UINT filterMax, UINT removeMsg);
BOOL TranslateMessage(const MSG* msg);
LRESULT DispatchMessageA(const MSG* msg);
// The program's own module for a null name, or a library it has mapped.
HMODULE GetModuleHandleA(LPCSTR moduleName);

#endif // QUORVANE_PLATFORM_WIN32_SUBSET_WINDOWING_H
