#include "dialog_add_host.h"

#include "caddservers.h"
#include "tarvik/text.h"
#include "tarvik/ui_hooks.h"

bool DialogAddHost::ChooseOptions(const FreeComList& freeComs, AddServersChoices* choices) {
  CAddServers dialog(*choices, freeComs, maxVcom_, parent_);
  if (dialog.exec() != QDialog::Accepted) return false;
  *choices = dialog.Choices();
  return true;
}

bool DialogAddHost::ConfirmLongWalk(uint64_t addresses) {
  char text[500];
  tarvik::FormatText(text, sizeof text,
                     "The range holds %llu addresses. Each one that does not answer costs the "
                     "connect time-out.\n\nAre you sure to continue?",
                     static_cast<unsigned long long>(addresses));
  return Message(text, tarvik::kMbOkCancel | tarvik::kMbIconWarning) == tarvik::kIdOk;
}

int DialogAddHost::Message(const char* text, unsigned flags) {
  return tarvik::ShowMessageBox(text, "Tarvik Utility", flags);
}
