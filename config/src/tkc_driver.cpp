// Exports of the driver link.
#include "driver_link.h"
#include "tarvikcfg.h"

static_assert(tarvikcfg::kDriverServiceNotOpened == TKC_ERR_SERVICE_OPEN &&
                  tarvikcfg::kDriverManagerNotOpened == TKC_ERR_SC_MANAGER &&
                  tarvikcfg::kDriverStartFailed == TKC_ERR_SERVICE_START &&
                  tarvikcfg::kDriverStopFailed == TKC_ERR_SERVICE_STOP &&
                  tarvikcfg::kDriverTimedOut == TKC_ERR_SERVICE_WAIT,
              "driver link codes");

uint16_t Tkc_NTDriverInit(void) { return tarvikcfg::DriverInit(); }

uint16_t Tkc_NTDriverClose(void) { return tarvikcfg::DriverClose(); }
