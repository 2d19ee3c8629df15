#include "add_store_step.h"

#include "app_state.h"
#include "store_sync.h"

using tarvik::app::StoreResult;

const char kAddRefusedUnread[] =
    "Servers cannot be added now: the server list in the registry could not be read in full,\n"
    "and new servers must not be added to a list that leaves servers out.\n\n"
    "Remove or repair the servers named in the previous message (or import a configuration),\n"
    "then try again.";
const char kAddRefusedUnwritten[] =
    "Servers cannot be added now: the utility's server list could not be written into "
    "registry,\nand adding servers would lose the changes it holds.";

AddStoreStep StoreBeforeAdding(AppState& app) {
  AddStoreStep step;
  const StoreResult stored = tarvik::app::StoreTracked(app.config, app.stored, &app.restartPending);
  if (stored == StoreResult::kFailed) {
    step.refusal = kAddRefusedUnwritten;
    return step;
  }
  step.reloaded = stored == StoreResult::kReloaded;
  if (stored == StoreResult::kSkipped) {
    // Perhaps the damaged server has been repaired or removed since.
    tarvik::app::LoadTracked(app.config, app.stored, &app.restartPending);
    step.reloaded = true;
  }
  if (app.stored.loadFailed) {
    step.refusal = kAddRefusedUnread;
    return step;
  }
  step.ready = true;
  return step;
}
