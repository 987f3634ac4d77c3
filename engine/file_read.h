// Positioned reads through the C runtime's descriptor functions.
#ifndef QUORVANE_ENGINE_FILE_READ_H
#define QUORVANE_ENGINE_FILE_READ_H

#include <stdint.h>

// Seeks to position (from the start) and reads up to count bytes. Returns
// the number of bytes read, or -1 when the seek or the read fails. A position beyond
// what the runtime's 32-bit signed offset can name fails like a bad seek.
int readAt(int fd, uint32_t position, void* buffer, unsigned count);

// readAt that must deliver all count bytes.
bool readExactlyAt(int fd, uint32_t position, void* buffer, unsigned count);

// Whether a read has failed (not merely come up short) since the last
// clearReadError: the file could not be read, so a miss proves nothing.
void clearReadError();
bool readErrorSeen();

uint16_t readLe16(const unsigned char* bytes);
uint32_t readLe32(const unsigned char* bytes);

#endif // QUORVANE_ENGINE_FILE_READ_H
