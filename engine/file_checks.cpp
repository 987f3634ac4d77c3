// The per-file checks the walk asks about every regular file.
#include "exe_check.h"
#include "folder_walk.h"

const FileCheckEntry fileCheckTable[] = {
    {exeCheckName, checkExecutable},
    {nullptr, nullptr}, // end of the table
};
