// The display form of a path in the status field.
#ifndef QUORVANE_ENGINE_SHORT_PATH_H
#define QUORVANE_ENGINE_SHORT_PATH_H

// Writes source into destination, shortened to at most maxLength characters
// by replacing its middle with dots: the first and last maxLength/2 - 1
// characters stay. destination must hold maxLength + 1 bytes.
void shortenPath(const char* source, char* destination, int maxLength);

#endif // QUORVANE_ENGINE_SHORT_PATH_H
