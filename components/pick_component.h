// The components library's entry point, a plain C interface so that the program can
// load the library at run time and look the function up by name.
//
//   int PickComponent(void* parent, int flag, char* formula, int formulaSize,
//                     float* enthalpy);
//
// Shows the selection dialog over `parent` (a QWidget*, or null), modal.  `flag` must be
// 0.  On a pick the chosen formula is copied into `formula` (at most formulaSize - 1
// bytes and a terminating NUL; never more) and its specific enthalpy in kJ/kg into
// *enthalpy, and 1 is returned.  When nothing is picked (Esc, Cancel, a formula that
// does not fit) `formula` is set to the empty string, *enthalpy is left alone and 0 is
// returned; -1 reports bad arguments or unreadable database files.
//
// The shipped database files are read from the directory that holds the library
// itself and are never written; the user's own classes and components are read from
// and saved to the user's data folder (kvilcb::UserDataDirectory(): $XDG_DATA_HOME/kvil
// or ~/.local/share/kvil).
#pragma once

#ifdef __cplusplus
extern "C" {
#endif

typedef int (*PickComponentFunction)(void* parent, int flag, char* formula, int formulaSize,
                                     float* enthalpy);

__attribute__((visibility("default"))) int PickComponent(void* parent, int flag, char* formula,
                                                         int formulaSize, float* enthalpy);

#ifdef __cplusplus
}
#endif
