// Whether a start-up value starts the detected file.
#ifndef QUORVANE_ENGINE_RUN_VALUE_H
#define QUORVANE_ENGINE_RUN_VALUE_H

#include <vector>

enum class RunValueVerdict {
    notTheFile,
    bareReference, // names the file without a drive path, and it lies in a system folder
    fullPath,      // the data, or its expansion, is the file's full path as a command
};

// data, its expansion and the file's full path, all in lower case. A bare
// reference (no backslash in the data, or one at its start) counts only
// when the command's own file name, before any argument, is the file's name
// ("notbad.exe" is not "bad.exe") and the file lies in a folder named
// system or system32. A full path counts when the data (or the expansion),
// without a leading double quote, is the path followed by its end, a
// closing double quote or white space.
RunValueVerdict judgeRunValue(const char* data, const char* expanded, const char* file);

// Whether the command at the start of expanded (quoted or not) names file
// through short (8.3) names: "c:\progra~1\tools\k.exe" for
// "C:\Program Files\Tools\k.exe". The two are compared as the system's short
// names spell them, the names the volume really holds.
bool namesFileByShortPath(const char* expanded, const char* file);

// The source with its %NAME% references expanded, whatever its length.
bool expandEnvironment(const char* source, std::vector<char>& expanded);

#endif // QUORVANE_ENGINE_RUN_VALUE_H
