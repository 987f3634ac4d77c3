// The service registrations of a detected file on an offline volume. The
// family installs itself as a service; on a running system the scan
// deletes the registration as it stops the service, but offline nothing
// runs, so every service of every control set of the volume's SYSTEM hive
// whose ImagePath starts a detected file is deleted with every key under it.
#ifndef QUORVANE_CLI_OFFLINE_SERVICES_H
#define QUORVANE_CLI_OFFLINE_SERVICES_H

#include <string>

// Deletes each service whose ImagePath starts the file at path (a full
// Windows path), with a result line for each.
void removeServicesOf(const char* path);

// Whether an ImagePath starts the file at path (case aside): by its full
// path, or from the system root as \SystemRoot\, %SystemRoot%\, %windir%\ or
// nothing, quoted or not, with arguments after it or not.
bool imageRunsFile(const std::string& imagePath, const std::string& path);

#endif // QUORVANE_CLI_OFFLINE_SERVICES_H
