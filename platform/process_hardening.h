#pragma once

namespace platform {

// What restricting the DLL search of the process achieved.
enum class DllSearchHardening {
  kNotRestricted,        // the system refused both ways; the search is the system's default
  kSystemFolderOnly,     // names without a folder are looked up in the system folder only
  kCurrentFolderRemoved, // older systems: only the current folder left the search
  kNotNeeded,            // the system never looks beside the program for libraries
};

// Called first thing in the process. The launcher is started from Downloads
// and from the temporary folder, where anybody can leave a DLL beside it: no
// library is to be taken from there, nor from the current folder.
DllSearchHardening RestrictDllSearchToSystemFolder();

}  // namespace platform
