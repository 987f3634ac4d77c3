// Whether the maker's antivirus suite is installed: the main window then
// shows the suite line instead of the suite's banner link.
#ifndef QUORVANE_UI_SUITE_CHECK_H
#define QUORVANE_UI_SUITE_CHECK_H

extern const char* const suiteKeyPath;   // under HKEY_LOCAL_MACHINE
extern const char* const suiteValueName;

// True when the suite's value can be read whole, whatever its length; its
// data is not used.
bool suiteInstalled();

#endif // QUORVANE_UI_SUITE_CHECK_H
