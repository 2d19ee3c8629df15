/*
 * findra: finds device servers on the PC's IPv4 networks by UDP broadcast
 * and changes a device server's network settings by UDP.
 *
 * How it works. All state is process-wide: one listen socket (UDP, default
 * port 54321) that receives the devices' replies and confirmations, an
 * optional BOOTP socket (UDP 67), one result list and at most one search at
 * a time. A search sends a request ("KORVAXQ410X,00\r" unless the caller
 * gives another text) once from each usable local IPv4 address (at most
 * nine: primary or dynamic addresses, never 0.0.0.0, 255.255.255.255 or
 * 127.0.0.1) to the destination, pacing 10 ms before and 100 ms after each
 * send. A receiver thread turns every reply ("KORVAXQ410X,80" followed by
 * ",KEY=value" fields) into a module record, drops repeats (same MAC and
 * name), and ends when the search time has passed since the sending ended,
 * when the module limit is reached, or when asked to stop. It starts reading
 * before the sending so that a burst of replies is not lost; records are
 * visible to the caller as soon as they are counted.
 *
 * The result list is emptied at the start of each search and otherwise kept,
 * also after Findra_Close. Failures with a message are shown through the
 * platform message-box hook (caption "Findra"), from the thread that meets
 * them.
 *
 * Threads: call the exports from one thread. While a search runs, that
 * thread may call Findra_GetState, Findra_GetCount, Findra_GetModuleInfo
 * (indexes 1 to the count just read) and Findra_BroadcastStop. Findra_Init,
 * Findra_Close, Findra_BroadcastStart and Findra_ConfigModule first stop a
 * running search and wait for its thread to end, so no record is freed
 * under it.
 *
 * Texts are 8-bit and NUL-terminated; IPv4 addresses are dotted text.
 */
#ifndef FINDRA_H
#define FINDRA_H

#include <stdint.h>

#if defined(FINDRA_BUILD)
#define FINDRA_API __attribute__((visibility("default")))
#else
#define FINDRA_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Field sizes of a module record, NUL included. */
#define FINDRA_NAME_SIZE 20
#define FINDRA_ALIAS_SIZE 20
#define FINDRA_IP_SIZE 16
#define FINDRA_MAC_SIZE 18

/* Ordinal 1. Returns 263. */
FINDRA_API int Findra_GetVersion(void);

/* Ordinal 2. Opens the listen socket on listenPort (0, negative or above
 * 65535: 54321) and the BOOTP socket on port 67, resets the search time to
 * 1000 ms, the module limit to 1000 and switches BOOTP capture off. Port 67
 * needs root: when it cannot be bound the library works without BOOTP
 * capture (Findra_EnableBOOTP then returns 0). Calling it again closes the
 * library first, as Findra_Close does.
 * Results: 0; -2 "Failed to create server socket." (a socket could not be
 * created); -3 "bind() failed" (the listen port is in use). */
FINDRA_API int Findra_Init(int listenPort);

/* Ordinal 3. Stops a running search and waits for it, closes the sockets.
 * The result list stays readable. */
FINDRA_API void Findra_Close(void);

/* Ordinal 4. Starts a search: chooses the local addresses, empties the
 * result list, sends request (NULL: "KORVAXQ410X,00\r") from each local
 * address to address:port (port 0, negative or above 65535: 57188) and
 * returns with the receiver thread running. The address is converted as
 * inet_addr() does: a text that is no address (or NULL) means
 * 255.255.255.255. A search already running is
 * stopped and waited for first; a stop request left over from it is
 * cleared. Sending failures show "client socket() failed" or "Sender bind()
 * failed" and end the sending; the search still runs.
 * Results: 0 search started; -4 no usable local address ("No available IP
 * address (IPv4)."; "GetIpAddrTable() failed." first when the address
 * table cannot be read); -2 Findra_Init has not succeeded; -7 the receiver
 * thread could not be started. */
FINDRA_API int Findra_BroadcastStart(const char* address, int port, const char* request);

/* Ordinal 5. Waits 100 ms, then asks a running search to stop, without
 * waiting for it to end. Results: 1 a running search was asked to stop;
 * 0 no search running (nothing touched). */
FINDRA_API int Findra_BroadcastStop(void);

/* Ordinal 6. Copies the record at a 1-based index (1 or less: the first)
 * into the caller's buffers, each cut to its size: name[20], alias[20],
 * ip[16], mask[16], gateway[16], mac[18], and *dhcp. A NULL buffer is
 * skipped. Results: 0 copied; -5 no record at that index (buffers
 * untouched). */
FINDRA_API int Findra_GetModuleInfo(int index, char* name, char* alias, char* ip, char* mask,
                                    char* gateway, char* mac, int32_t* dhcp);

/* Ordinal 7. 1 while a search runs, else 0. */
FINDRA_API int Findra_GetState(void);

/* Ordinal 8. Number of records in the result list. */
FINDRA_API int Findra_GetCount(void);

/* Ordinal 9. Sends a configuration command to the device of the record at
 * index (1 or less: the first), addressed by its recorded MAC, from the
 * local addresses to the destination of the last search, then waits for a
 * confirmation ("KORVAXQ410X,81") on the listen port for 1000 ms from the
 * start of sending. The alias is sent whenever given; ip, mask, gateway and
 * mac when given and different from the record (ignoring case); dhcp when
 * it differs from the record. Any NULL text is left out. A running search
 * is stopped and waited for first; datagrams already waiting on the listen
 * socket are discarded before sending. Every text that would go into the
 * command (the alias, each changed address, and the recorded MAC that
 * addresses the device) must be free of ',', '=' and control characters
 * (bytes below 0x20 and 0x7F): in a value they would read as fields of
 * their own ("ALIAS=a,IP=10.0.0.9") or end the command.
 * Results: 0 confirmed with "OK"; -5 no record at index (nothing sent);
 * -6 no confirmation within 1000 ms; -9 nothing to change (nothing sent);
 * -14 confirmation without "OK"; -15 a text to be sent holds ',', '=' or a
 * control character (nothing sent); -2 Findra_Init has not succeeded. */
FINDRA_API int Findra_ConfigModule(int index, const char* ip, const char* mask,
                                   const char* gateway, const char* mac, int dhcp,
                                   const char* alias);

/* Ordinal 10. Search time in ms (below 1000: 1000) and module limit (0 or
 * less: 1000) for the following searches. Returns 0. */
FINDRA_API int Findra_SetOptions(unsigned int searchTimeMs, int moduleLimit);

/* Ordinal 11. Number of local addresses the last search sent from (0
 * before any search). */
FINDRA_API int Findra_GetLocalIPCount(void);

/* Ordinal 12. Switches BOOTP capture: while on, a search also records each
 * datagram on UDP 67 whose client hardware address starts 02:4E:A7 (name
 * "BOOTP", alias "Tiny", addresses "0.0.0.0", the MAC from bytes 28-33);
 * shorter datagrams than 34 bytes are dropped. Returns the new switch, 1 or
 * 0; 0 when the BOOTP socket is not bound. */
FINDRA_API int Findra_EnableBOOTP(int on);

#ifdef __cplusplus
}
#endif

#endif /* FINDRA_H */
