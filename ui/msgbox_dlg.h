// The skinned message box: every question of the program, with the system
// message box's style bits and answer codes.
#ifndef QUORVANE_UI_MSGBOX_DLG_H
#define QUORVANE_UI_MSGBOX_DLG_H

#include <string>

#include "dialog.h"
#include "msgbox_layout.h"
#include "skin_button.h"

class CMsgBoxDlg : public Dialog {
public:
    CMsgBoxDlg(const char* text, const char* caption, unsigned style);
    ~CMsgBoxDlg() override;

protected:
    BOOL onInitDialog() override;
    void onOK() override { endDialog(IDOK); }
    void onCancel() override { endDialog(msgBoxCancelResult(mode_)); }
    bool onCommand(int id, int notification) override;
    bool onMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR* result) override;

private:
    void layOut();
    void showButtonsOfMode();
    void skinButtons();
    void paintIcon();

    NCExButton yesButton_;
    NCExButton okButton_;
    NCExButton noButton_;
    NCExButton loneOkButton_;
    NCExButton cancelButton_;
    std::string text_;
    std::string caption_;
    int iconBitmap_ = iconWarning;
    MsgBoxMode mode_ = MsgBoxMode::okAlone;
    HBRUSH backgroundBrush_ = nullptr;
};

#endif // QUORVANE_UI_MSGBOX_DLG_H
