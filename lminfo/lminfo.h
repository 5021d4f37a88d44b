#pragma once
// The suite's information module, shared by the programs that show an about dialog.

#if defined(LMINFO_LIBRARY_BUILD) || defined(lminfo_EXPORTS)
#define LMINFO_EXPORT __attribute__((visibility("default")))
#else
#define LMINFO_EXPORT
#endif

// Shows the information dialog modally over the active window.
LMINFO_EXPORT void ShowInfoDialog();
// The program build: version and source revision, e.g. "3.20 (ed92015)". Valid for the whole run.
LMINFO_EXPORT const char* LminfoGetProgBuild();
