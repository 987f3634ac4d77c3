// The program's main window: the skin, the Scan button that starts the one
// scan of the run, the result list and status field the engine reports to,
// Cancel and the close box, and the two web links.
#ifndef QUORVANE_UI_MAIN_DLG_H
#define QUORVANE_UI_MAIN_DLG_H

#include "color_static.h"
#include "dialog.h"
#include "skin_button.h"
#include "status_field.h"

class CMainDlg : public Dialog {
public:
    CMainDlg();
    ~CMainDlg() override;

protected:
    BOOL onInitDialog() override;
    void onOK() override {} // Enter never closes the window
    void onCancel() override;
    bool onCommand(int id, int notification) override;
    bool onMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR* result) override;

private:
    void hideScanControls();
    void createCaptionFont();
    void setTexts();
    void checkSuite();
    void setIcons();
    void applySkin();
    void skinButtons();
    void startScan();
    void showScanning();
    void runScanOnce();
    void askToStop(const char* caption);
    void appendLine();
    void paint();
    INT_PTR controlColour(UINT message, HDC dc, HWND control);

    CExButton okButton_;
    CExButton cancelButton_;
    CExButton scanButton_;
    CExButton downloadButton_;
    CExButton closeBox_;
    CExButton toolsBanner_;
    CExButton suiteBanner_;
    CExButton logo_;
    CColorStatic familyLine_;
    StatusField status_;

    HICON icon_ = nullptr;
    HBITMAP skin_ = nullptr;
    SIZE skinSize_ = {};
    HDC skinDc_ = nullptr;
    HGDIOBJ skinDcPrevious_ = nullptr;
    HFONT searchingFont_ = nullptr;
    bool scanPending_ = false;       // Scan pressed, the timer has not started the scan yet
    bool askingBeforeStart_ = false; // a question to stop is open before the scan started
};

#endif // QUORVANE_UI_MAIN_DLG_H
