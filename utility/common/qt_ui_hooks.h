// Qt implementations of the platform's user-interface hooks: message boxes,
// open/save file dialogs, shell launches, the wait cursor and the UI pump.
// The program installs them once at start; tests install doubles instead.
#pragma once
#include <string>

#include <QStringList>

void InstallQtUiHooks();

// Called when the program has been asked to end: from then on no message
// box or file dialog waits for an answer (a box's text goes to stderr and
// it answers Cancel, No or OK, the first of these it has; a file dialog
// answers Cancel), so the shutdown runs through to the end.
void SetUiTerminating();
bool IsUiTerminating();

// "XML Files (*.xml)|*.xml|All Files (*.*)|*.*||" -> one Qt name filter per
// pair ("XML Files (*.xml)", "All Files (*)"): the pair's pattern list is what
// the dialog matches, and "*.*" becomes "*" so names without a dot match.
QStringList QtNameFilters(const std::string& windowsFilter);

// Splits a shell argument text into program arguments (blanks separate,
// double quotes group), as a program started with that text would see them.
QStringList SplitShellArguments(const std::string& parameters);
