/* tarvik_driver_iface.h: what the suite fixes about the virtual COM driver
 * "Vonderil", which lies outside it: the service identity, where its
 * parameters live in the registry and the service states the service
 * manager reports. Whatever stands in for the driver is bound by these.
 *
 * The driver reads its parameter key only when it starts; a changed mapping
 * takes effect by stopping and starting the service.
 */
#ifndef TARVIK_DRIVER_IFACE_H
#define TARVIK_DRIVER_IFACE_H

#ifdef __cplusplus
extern "C" {
#endif

/* Service identity: a kernel driver, automatic start, normal error control,
 * empty display name, no group, no dependencies, no account. */
#define TKC_SERVICE_NAME "Vonderil"
#define TKC_SERVICE_TYPE_KERNEL_DRIVER 0x00000001u /* SERVICE_KERNEL_DRIVER */
#define TKC_SERVICE_START_AUTO 0x00000002u         /* SERVICE_AUTO_START */
#define TKC_SERVICE_ERROR_NORMAL 0x00000001u       /* SERVICE_ERROR_NORMAL */
#define TKC_SERVICE_DISPLAY_NAME ""

/* The driver file, below the system directory. */
#define TKC_DRIVER_FILE "\\Drivers\\Vonderil.sys"

/* Registry paths below HKEY_LOCAL_MACHINE. */
#define TKC_SERVICES_KEY "SYSTEM\\CurrentControlSet\\Services"
#define TKC_PARAMETER_SUBKEY "Parameter"
#define TKC_PARAMETER_KEY TKC_SERVICES_KEY "\\" TKC_SERVICE_NAME "\\" TKC_PARAMETER_SUBKEY
/* One subkey per server, n = 1..Servers. */
#define TKC_SERVER_SUBKEY_FORMAT "Server%d"
/* The system's serial-port list (read only). */
#define TKC_SERIALCOMM_KEY "HARDWARE\\DEVICEMAP\\SERIALCOMM"

/* Service states as the service manager reports them. */
#define TKC_SERVICE_STOPPED 1u
#define TKC_SERVICE_START_PENDING 2u
#define TKC_SERVICE_STOP_PENDING 3u
#define TKC_SERVICE_RUNNING 4u
#define TKC_SERVICE_CONTINUE_PENDING 5u
#define TKC_SERVICE_PAUSE_PENDING 6u
#define TKC_SERVICE_PAUSED 7u

/* A start or stop request reaches its end state within this time. */
#define TKC_SERVICE_STATE_TIMEOUT_MS 15000u

#ifdef __cplusplus
}
#endif

#endif /* TARVIK_DRIVER_IFACE_H */
