// The environment that programs of the Windows on an offline volume start
// with, as far as start-up commands use it: a value written as
// %ProgramData%\x.exe or %ProgramFiles%\x.exe must expand to the folder of
// that Windows, not to a default.
#ifndef QUORVANE_CLI_VOLUME_ENVIRONMENT_H
#define QUORVANE_CLI_VOLUME_ENVIRONMENT_H

// Once the volume's hives are loaded: SystemDrive (C:, the drive the volume
// is presented as), the system variables of the current control set's
// Session Manager\Environment, the program folders of
// SOFTWARE\Microsoft\Windows\CurrentVersion (ProgramFiles,
// ProgramFiles(x86), CommonProgramFiles and its x86 twin), and ProgramData,
// ALLUSERSPROFILE and PUBLIC from the profile list; each expanded with
// those before it, as the system builds a new process's environment.
// Variables the volume does not name keep the machine's defaults.
void adoptVolumeEnvironment();

#endif // QUORVANE_CLI_VOLUME_ENVIRONMENT_H
