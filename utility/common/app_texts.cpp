#include "app_texts.h"

const char kAppTitle[] = "Tarvik Utility [v2.14.03, Sep.28, 2021]";
const char kAppCaption[] = "Tarvik Utility";
const char kParameterKey[] = "SYSTEM\\CurrentControlSet\\Services\\Vonderil\\Parameter";
