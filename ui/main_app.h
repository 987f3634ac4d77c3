// The application object: one copy of the program at a time, whose life is
// the main window's.
#ifndef QUORVANE_UI_MAIN_APP_H
#define QUORVANE_UI_MAIN_APP_H

class CMainApp {
public:
    // Shows the main window modally; returns false, as the program then ends.
    bool InitInstance();
};

#endif // QUORVANE_UI_MAIN_APP_H
