// Folders that only the wizard's user, the administrators and the system may change.
#pragma once

#include "win32/UniqueResource.h"

// The security descriptor of the wizard's working folder: full control for SYSTEM, the
// Administrators and the user running the wizard, inherited by everything inside, and
// nothing inherited from the parent. Null when the user cannot be told.
win32::unique_hlocal PrivateFolderSecurity();

// Creates the folder with that descriptor. Fails (false, with the error of
// GetLastError) when anything of that name exists already or there is no descriptor.
bool CreatePrivateFolder(const wchar_t* path);
