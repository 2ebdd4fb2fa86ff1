// Removal of a folder tree, such as the wizard's working folder.
#pragma once

#include "framework/CString.h"

// Deletes the folder and everything in it. Links inside it (junctions, symbolic links)
// are removed themselves, never followed. What cannot be removed now (in use, access
// denied) is left for deletion at the next restart.
void DeleteFolderTree(const CString& path);
