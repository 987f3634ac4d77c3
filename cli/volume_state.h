// Whether the volumes an offline scan was given may be changed at all. A
// volume mounted read-only cannot be; one whose Windows was hibernated (a
// Fast Startup shut-down is one) must not be: that Windows resumes from
// memory with its own picture of the disk, so changes made now are lost or
// clash with it.
#ifndef QUORVANE_CLI_VOLUME_STATE_H
#define QUORVANE_CLI_VOLUME_STATE_H

#include <string>
#include <vector>

#include "options.h"

enum class VolumeState { changeable, readOnly, hibernated };

// The first drive folder that may not be changed and why, or changeable.
VolumeState volumeStateOf(const std::vector<DriveFolder>& drives, std::string& folder);

// Whether the first bytes of a hibernation file say that a Windows sleeps
// in it ("hibr", in any letter case).
bool holdsHibernatedSystem(const unsigned char* start, size_t length);

#endif // QUORVANE_CLI_VOLUME_STATE_H
