// Items the scan could not look at: a file that cannot be opened or read, a
// folder that cannot be listed, an entry whose path does not fit a path
// buffer. A scan that passed over anything is not a clean scan, so each one
// is counted and handed to the front end, which may name it to the user.
#ifndef QUORVANE_ENGINE_NOT_SCANNED_H
#define QUORVANE_ENGINE_NOT_SCANNED_H

// Reasons, as the front end shows them after the path.
extern const char* const reasonCannotOpen;
extern const char* const reasonCannotRead;
extern const char* const reasonCannotList;
extern const char* const reasonPathTooLong;

// Told of each item as it is passed over; null (the default): counted only.
typedef void (*NotScannedHandler)(const char* path, const char* reason);
extern NotScannedHandler notScannedHandler;

// Counts the item in scanState.itemsNotScanned and tells the handler.
void noteNotScanned(const char* path, const char* reason);

// noteNotScanned for folder + name, whose joined path would not fit a path
// buffer: the text shown is cut to fit, and says so.
void noteNotScannedTooLong(const char* folder, const char* name);

#endif // QUORVANE_ENGINE_NOT_SCANNED_H
