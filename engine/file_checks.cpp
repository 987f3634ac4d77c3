// The per-file checks the walk asks about every regular file.
#include "folder_walk.h"

const FileCheckEntry fileCheckTable[] = {
    {nullptr, nullptr}, // end of the table
};
