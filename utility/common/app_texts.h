// Texts that every part of the utility shares.
#pragma once

extern const char kAppTitle[];      // window title and About box title line
extern const char kAppCaption[];    // caption of the program's message boxes
extern const char kParameterKey[];  // the driver's parameter key (UI options live there too)
