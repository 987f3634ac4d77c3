#include "skin_button.h"

#include <string.h>

namespace {

const char* const focusSuffix = "_FOCUS";
const char* const notFocusSuffix = "_NOTFOCUS";
const char* const disabledSuffix = "_DISABLE";

// Captions name bitmaps; the longest resource name the program uses is far
// below this.
constexpr int captionSize = 64;
constexpr int bitmapNameSize = captionSize + 16;

bool makeName(char* name, const char* caption, const char* suffix) {
    const size_t captionLength = strlen(caption);
    const size_t suffixLength = strlen(suffix);
    if (captionLength + suffixLength >= static_cast<size_t>(bitmapNameSize)) return false;
    memcpy(name, caption, captionLength);
    memcpy(name + captionLength, suffix, suffixLength + 1);
    return true;
}

bool bitmapSize(HBITMAP bitmap, int* width, int* height) {
    BITMAP description;
    if (!bitmap || GetObjectA(bitmap, sizeof(description), &description) != sizeof(description)) return false;
    *width = description.bmWidth;
    *height = description.bmHeight;
    return true;
}

void releaseBitmap(HBITMAP* bitmap) {
    if (*bitmap) DeleteObject(*bitmap);
    *bitmap = nullptr;
}

} // namespace

HBITMAP loadResourceBitmap(const char* name) {
    return static_cast<HBITMAP>(
        LoadImageA(GetModuleHandleA(nullptr), name, IMAGE_BITMAP, 0, 0, LR_LOADMAP3DCOLORS));
}

SkinButton::~SkinButton() { releaseBitmaps(); }

void SkinButton::releaseBitmaps() {
    releaseBitmap(&focusBitmap_);
    releaseBitmap(&notFocusBitmap_);
    releaseBitmap(&disabledBitmap_);
}

bool SkinButton::attachSkin(int id, HWND parent) {
    if (!attach(parent, id)) return false;
    char caption[captionSize] = {};
    if (GetWindowTextA(hwnd(), caption, captionSize) <= 0) return false;
    char focusName[bitmapNameSize];
    char notFocusName[bitmapNameSize];
    char disabledName[bitmapNameSize];
    if (makeName(focusName, caption, focusSuffix) && makeName(notFocusName, caption, notFocusSuffix) &&
        makeName(disabledName, caption, disabledSuffix)) {
        loadSkinBitmaps(focusName, notFocusName, disabledName);
    }
    return true;
}

bool SkinButton::loadSkinBitmaps(const char* focusName, const char* notFocusName, const char* disabledName) {
    releaseBitmaps();
    focusBitmap_ = loadResourceBitmap(focusName);
    if (!focusBitmap_) return false;
    notFocusBitmap_ = loadResourceBitmap(notFocusName);
    if (!notFocusBitmap_) return false;
    disabledBitmap_ = loadResourceBitmap(disabledName); // most buttons have none
    return sizeToBitmap();
}

bool SkinButton::sizeToBitmap() {
    int width = 0;
    int height = 0;
    if (!bitmapSize(notFocusBitmap_, &width, &height)) return false;
    if (!SetWindowPos(hwnd(), nullptr, 0, 0, width, height,
                      SWP_NOMOVE | SWP_NOZORDER | SWP_NOREDRAW | SWP_NOACTIVATE))
        return false;
    bitmapRect_ = {0, 0, width, height};
    return true;
}

bool SkinButton::drawItem(const DRAWITEMSTRUCT& item) {
    HBITMAP face = notFocusBitmap_;
    if (highlighted_) {
        face = focusBitmap_;
    } else if (item.itemState & ODS_DISABLED) {
        face = disabledBitmap_;
    }
    if (!face) return true;
    HDC memory = CreateCompatibleDC(item.hDC);
    if (!memory) return true;
    HGDIOBJ previous = SelectObject(memory, face);
    const RECT& area = item.rcItem;
    BitBlt(item.hDC, area.left, area.top, rectWidth(area), rectHeight(area), memory, 0, 0, SRCCOPY);
    SelectObject(memory, previous);
    DeleteDC(memory);
    return true;
}

void SkinButton::setHighlighted(int value) {
    highlighted_ = value;
    InvalidateRect(hwnd(), nullptr, FALSE);
}

void SkinButton::onMouseMove(LPARAM lParam) {
    if (GetCapture() != hwnd()) {
        // The mouse has just come in.
        SetFocus(hwnd());
        highlighted_ = 1;
        SetCapture(hwnd());
        InvalidateRect(hwnd(), nullptr, FALSE);
        return;
    }
    const POINT point = {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
    if (!PtInRect(&bitmapRect_, point)) {
        ReleaseCapture();
        setHighlighted(0);
    }
}

LRESULT SkinButton::windowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_MOUSEMOVE:
        onMouseMove(lParam);
        break;
    case WM_SETFOCUS: {
        const LRESULT result = callDefault(message, wParam, lParam);
        setHighlighted(1);
        return result;
    }
    case WM_KILLFOCUS: {
        const LRESULT result = callDefault(message, wParam, lParam);
        setHighlighted(0);
        return result;
    }
    default:
        break;
    }
    return callDefault(message, wParam, lParam);
}

namespace {

const char* const helpViewerFile = "\\winhlp32.exe";
// The pointing hand of the system's help viewer.
constexpr int helpViewerHandCursor = 106;

HCURSOR helpViewerHand() {
    char path[MAX_PATH] = {};
    const UINT length = GetWindowsDirectoryA(path, MAX_PATH);
    if (length == 0 || length + strlen(helpViewerFile) >= MAX_PATH) return nullptr;
    strcat(path, helpViewerFile);
    // Only its resources are wanted: none of its code is run.
    HMODULE viewer = LoadLibraryExA(path, nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (!viewer) return nullptr;
    HCURSOR cursor = LoadCursorA(viewer, MAKEINTRESOURCEA(helpViewerHandCursor));
    HCURSOR copy = cursor ? CopyCursor(cursor) : nullptr;
    FreeLibrary(viewer);
    return copy;
}

} // namespace

CExButton::~CExButton() {
    if (handCursor_) DestroyCursor(handCursor_);
}

void CExButton::loadHandCursor() {
    if (handCursor_) return;
    handCursor_ = helpViewerHand();
    // Systems without the help viewer have a hand of their own (from 98 and 2000).
    if (!handCursor_) {
        HCURSOR shared = LoadCursorA(nullptr, MAKEINTRESOURCEA(32649)); // IDC_HAND
        if (shared) handCursor_ = CopyCursor(shared);
    }
}

LRESULT CExButton::windowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_SETCURSOR && handCursor_) {
        SetCursor(handCursor_);
        return TRUE;
    }
    return SkinButton::windowProc(message, wParam, lParam);
}
