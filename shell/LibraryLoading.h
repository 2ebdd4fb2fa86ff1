// Where the wizard's libraries come from.
#pragma once

// Limits every later library load of the process to System32, and has the libraries
// that system libraries bind late on the wizard's behalf loaded from there before the
// library that needs them is bound. Called first thing, before the C runtime starts: it
// uses nothing but kernel32.
void RestrictLibraryLoading();
