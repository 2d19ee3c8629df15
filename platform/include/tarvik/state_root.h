// The state root: the one folder under which the suite keeps everything it
// stores (registry store, system directory, service run files, COM links).
#pragma once
#include <string>

namespace tarvik {

// $TARVIK_ROOT; else the system-wide root (/var/lib/tarvik) when that
// folder exists; else ${XDG_STATE_HOME:-$HOME/.local/state}/tarvik. Read
// anew on every call so that a test may point the process at another root.
std::string StateRoot();

// The system-wide state root an installed package makes.
std::string SystemStateRoot();

// Creates the state root and its folders (System32/Drivers, run, dev) when
// missing, and links an installed driver stand-in into the system directory
// when none is there. Returns false and a message when that fails.
bool EnsureStateRoot(std::string* error = nullptr);

// The driver stand-in of an installed suite (<prefix>/libexec/tarvik), or
// empty when the program does not run from an installation.
std::string InstalledStandIn();

// <root>/System32, the suite's "system directory".
std::string SystemDirectory();
// <root>/run, where services keep their state and pid files.
std::string RunDirectory();
// <root>/registry.db
std::string RegistryPath();

// Paths kept in their Windows form ("%s\Drivers\Vonderil.sys") are mapped to
// this system's form: every backslash becomes a slash.
std::string MapPath(const std::string& path);

}  // namespace tarvik
