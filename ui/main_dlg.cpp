// The main window's set-up and its commands.
#include "main_dlg.h"

#include <shellapi.h>

#include "region.h"
#include "resource_ids.h"
#include "scan_driver.h"
#include "scan_state.h"
#include "suite_check.h"
#include "ui_state.h"

namespace {

const char* const familyPrefix = "W32/Karvex";
const char* const titleMiddle = " - Tool to detect and remove all the variants of ";
const char* const trojanSuffix = " Trojan ";
const char* const copyrightLine = "Copyright (C) Tessary Software. All rights reserved.";
const char* const suiteLine = "This program is a part of Wardmere antivirus software.";
const char* const closeBoxCaption = "DialogBoxTitle";
const char* const suitePage = "http://www.example.com/wardmere/antivirus/";
const char* const removalToolsPage = "http://www.example.com/tessary/removal-tools/";

// The layout the controls were designed for, and the window's size, in pixels.
constexpr int designClientWidth = 600;
constexpr int designClientHeight = 337;
constexpr int windowWidth = 600;
constexpr int windowHeight = 462;

constexpr int captionFontHeight = 15;
constexpr int largeFontsDpi = 120;
constexpr COLORREF regionKey = RGB(255, 0, 255); // magenta: outside the window's shape

constexpr int scanTimerPeriodMs = 100;

void show(HWND window, bool visible) { ShowWindow(window, visible ? SW_SHOW : SW_HIDE); }
void enable(HWND window, bool enabled) { EnableWindow(window, enabled ? TRUE : FALSE); }

void openPage(const char* location) { ShellExecuteA(nullptr, "open", location, nullptr, nullptr, SW_SHOWNORMAL); }

} // namespace

CMainDlg::CMainDlg() : Dialog(IDD_MAIN) {
    icon_ = LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDI_PROGRAM));
}

CMainDlg::~CMainDlg() {
    if (searchingFont_) DeleteObject(searchingFont_);
    if (mainDialog == this) mainDialog = nullptr;
    // The skin and its memory context live as long as the process.
}

void CMainDlg::hideScanControls() {
    const int hidden[] = {IDC_STATUS, IDC_STATUS_FRAME, IDC_SEARCHING, IDC_RESULT_LIST, IDC_LIST_FRAME, IDCANCEL};
    for (int id : hidden) show(item(id), false);
    enable(item(IDC_OK_BUTTON), false);
    show(item(IDC_OK_BUTTON), false);
}

void CMainDlg::createCaptionFont() {
    HFONT dialogFont = reinterpret_cast<HFONT>(SendMessageA(hwnd(), WM_GETFONT, 0, 0));
    if (!dialogFont) dialogFont = static_cast<HFONT>(GetStockObject(SYSTEM_FONT));
    LOGFONTA description = {};
    if (!GetObjectA(dialogFont, sizeof(description), &description)) return;
    description.lfHeight = captionFontHeight;
    description.lfWeight = FW_BOLD;
    description.lfUnderline = FALSE;
    description.lfItalic = FALSE;
    if (captionFont) DeleteObject(captionFont);
    captionFont = CreateFontIndirectA(&description);
}

void CMainDlg::setTexts() {
    char line[pathTextSize];
    wsprintfA(line, "%s%s%s%s", programTitle, titleMiddle, familyPrefix, trojanSuffix);
    SetWindowTextA(item(IDC_TITLE_LINE), line);
    wsprintfA(line, "for %s%s", familyPrefix, trojanSuffix);
    SetWindowTextA(item(IDC_FAMILY_LINE), line);
    SetWindowTextA(item(IDC_COPYRIGHT), copyrightLine);
    SetWindowTextA(item(IDC_SUITE_LINE), suiteLine);
}

void CMainDlg::checkSuite() {
    if (suiteInstalled()) {
        enable(item(IDC_SUITE_BANNER), false);
        show(item(IDC_SUITE_BANNER), false);
        enable(item(IDC_DOWNLOAD), false);
    } else {
        show(item(IDC_SUITE_LINE), false);
    }
}

void CMainDlg::setIcons() {
    SendMessageA(hwnd(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon_));
    SendMessageA(hwnd(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon_));
    // A system menu and minimize box for the task bar; still no caption bar.
    const LONG_PTR style = GetWindowLongPtrA(hwnd(), GWL_STYLE);
    SetWindowLongPtrA(hwnd(), GWL_STYLE, style | WS_SYSMENU | WS_MINIMIZEBOX);
}

void CMainDlg::applySkin() {
    skin_ = loadResourceBitmap(MAKEINTRESOURCEA(IDB_SKIN));
    if (!skin_) return;
    if (HRGN region = bitmapToRegion(skin_, regionKey, true)) {
        // The window owns the region from here on.
        if (!SetWindowRgn(hwnd(), region, TRUE)) DeleteObject(region);
    }
    BITMAP description;
    if (GetObjectA(skin_, sizeof(description), &description) == sizeof(description))
        skinSize_ = {description.bmWidth, description.bmHeight};
    skinDc_ = CreateCompatibleDC(nullptr);
    if (skinDc_) skinDcPrevious_ = SelectObject(skinDc_, skin_);
}

void CMainDlg::skinButtons() {
    okButton_.attachSkin(IDC_OK_BUTTON, hwnd());
    cancelButton_.attachSkin(IDCANCEL, hwnd());
    scanButton_.attachSkin(IDC_SCAN, hwnd());
    downloadButton_.attachSkin(IDC_DOWNLOAD, hwnd());
    closeBox_.attachSkin(IDC_CLOSE_BOX, hwnd());
    toolsBanner_.attachSkin(IDC_TOOLS_BANNER, hwnd());
    suiteBanner_.attachSkin(IDC_SUITE_BANNER, hwnd());
    logo_.attachSkin(IDC_LOGO, hwnd());
}

BOOL CMainDlg::onInitDialog() {
    familyLine_.attach(hwnd(), IDC_FAMILY_LINE);
    status_.attach(hwnd(), item(IDC_STATUS));
    hideScanControls();
    mainDialog = this;
    createCaptionFont();
    setTexts();
    if (HDC dc = GetDC(hwnd())) {
        largeFonts = GetDeviceCaps(dc, LOGPIXELSX) >= largeFontsDpi;
        ReleaseDC(hwnd(), dc);
    }
    scaleChildWindows(hwnd(), designClientWidth, designClientHeight);
    MoveWindow(hwnd(), 0, 0, windowWidth, windowHeight, TRUE);
    checkSuite();
    if (!panelBrush) panelBrush = CreateSolidBrush(RGB(255, 255, 255));
    setIcons();
    applySkin();
    skinButtons();
    SetWindowTextA(hwnd(), programTitle);
    CExButton* handButtons[] = {&scanButton_, &closeBox_, &downloadButton_, &okButton_,
                                &cancelButton_, &suiteBanner_, &toolsBanner_};
    for (CExButton* button : handButtons) button->loadHandCursor();
    return TRUE;
}

void CMainDlg::showScanning() {
    enable(item(IDC_SCAN), false);
    const int banners[] = {IDC_TOOLS_BANNER, IDC_SUITE_BANNER};
    for (int id : banners) {
        enable(item(id), false);
        show(item(id), false);
    }
    enable(item(IDCANCEL), true);
    show(item(IDCANCEL), true);
    enable(item(IDC_OK_BUTTON), true);
    const int hidden[] = {IDC_TITLE_LINE, IDC_SUITE_LINE, IDC_COPYRIGHT};
    for (int id : hidden) show(item(id), false);
    const int shown[] = {IDC_SEARCHING, IDC_RESULT_LIST, IDC_STATUS, IDC_STATUS_FRAME, IDC_LIST_FRAME};
    for (int id : shown) show(item(id), true);
    SetWindowTextA(item(IDC_STATUS_FRAME), "Scanning");
}

void CMainDlg::startScan() {
    scanRunning = 1;
    showScanning();
    char line[pathTextSize];
    wsprintfA(line, "Searching for %s Trojan and its variants", familyPrefix);
    HWND searching = item(IDC_SEARCHING);
    SetWindowTextA(searching, line);
    if (!searchingFont_)
        searchingFont_ = CreateFontA(captionFontHeight, 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, ANSI_CHARSET, 0, 0,
                                     0, FF_SWISS, "Arial");
    if (searchingFont_) SendMessageA(searching, WM_SETFONT, reinterpret_cast<WPARAM>(searchingFont_), TRUE);

    lstrcpynA(scanState.scanTarget, everyFixedDrive, pathTextSize);
    scanState.resultList = hwnd();
    scanState.userChoice = choiceDelete;
    scanPending_ = true;
    SetTimer(hwnd(), scanTimerId, scanTimerPeriodMs, nullptr);
}

// Everything of the scan happens inside this call; the engine keeps the
// window alive by pumping its messages. Before the scan only a Yes to the
// question to stop sets terminateRequested, and it is kept: a stop answered
// before the timer fired leaves the scan nothing to walk.
void CMainDlg::runScanOnce() {
    KillTimer(hwnd(), scanTimerId);
    if (!scanPending_ || askingBeforeStart_) return;
    scanPending_ = false;
    runScan();
    status_.flush();
    show(item(IDCANCEL), false);
    show(item(IDC_OK_BUTTON), true);
    show(item(IDC_SEARCHING), false);
    SetWindowTextA(item(IDC_STATUS_FRAME), "");
    scanRunning = 0;
}

void CMainDlg::askToStop(const char* caption) {
    if (!scanRunning) {
        endDialog(IDCANCEL);
        return;
    }
    // Asked before the timer has started the scan, the question holds the
    // timer back: a scan started inside the question's own message loop
    // would run to its end before the answer could stop it.
    const bool beforeStart = scanPending_;
    if (beforeStart) {
        KillTimer(hwnd(), scanTimerId);
        askingBeforeStart_ = true;
    }
    const bool stop = askUser("Terminate the Scan now?", caption, askYesNo) == IDYES;
    if (beforeStart) {
        askingBeforeStart_ = false;
        SetTimer(hwnd(), scanTimerId, scanTimerPeriodMs, nullptr);
    }
    if (!stop) return;
    show(item(IDCANCEL), false);
    show(item(IDC_OK_BUTTON), true);
    scanState.terminateRequested = true;
}

void CMainDlg::onCancel() { askToStop(programTitle); }

bool CMainDlg::onCommand(int id, int notification) {
    // Every command here is a button's. An owner-drawn button follows a
    // double-click's click with BN_DOUBLECLICKED: acting on that too would
    // open a page twice.
    if (notification != BN_CLICKED) return false;
    switch (id) {
    case IDC_SCAN:
        startScan();
        return true;
    case IDC_CLOSE_BOX:
        askToStop(closeBoxCaption);
        return true;
    case IDC_DOWNLOAD:
    case IDC_SUITE_BANNER:
        openPage(suitePage);
        return true;
    case IDC_TOOLS_BANNER:
        openPage(removalToolsPage);
        return true;
    case IDC_OK_BUTTON:
        endDialog(IDOK);
        return true;
    default:
        return false;
    }
}
