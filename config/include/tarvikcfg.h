// Stand-in for the library header while the configuration store is built on
// another branch: only the declarations the configuration files use. The
// store's own header replaces this file when it lands.
#pragma once
#include <stdint.h>

#define TKC_API __attribute__((visibility("default")))

#ifdef __cplusplus
extern "C" {
#endif

typedef struct TkcPortMapping {
  uint32_t Com;
  uint32_t Options;
} TkcPortMapping;

typedef struct TkcServerRecord {
  uint32_t PortNo;
  uint32_t IPAddress;
  uint32_t IPAddress2;
  char ServerName[50];
  char AliasName[50];
  TkcPortMapping PortMap[70];
  uint32_t KeepAliveTime;
  uint32_t ConnectionBroken;
  uint32_t ConnectTimeout;
  uint32_t TcpPortCmd;
  uint32_t TcpPort7000;
  uint8_t Slotted;
  uint8_t SecondPort;
  int8_t SlotCount;
  uint8_t SlotPorts[13];
  char PW[90];
  char HostName[128];
} TkcServerRecord;

typedef struct TkcConfigSet {
  uint32_t Servers;
  uint32_t Ports;
  uint32_t Flags;
  TkcServerRecord Records[4095];
  uint32_t SizeStamp;
} TkcConfigSet;

TKC_API uint16_t Tkc_NTDriverInit(void);
TKC_API uint16_t Tkc_NTDriverClose(void);
TKC_API uint16_t Tkc_RegWriteOneServer(uint32_t index, TkcServerRecord* record, uint32_t size);
TKC_API uint16_t Tkc_RegCheckCreateServiceKey(void);
TKC_API uint16_t Tkc_ParseServerInfo(TkcServerRecord* record, uint32_t size);
TKC_API uint16_t Tkc_RegReadOtherSerial(uint8_t* occupied, const TkcConfigSet* set, uint32_t size);
TKC_API uint16_t Tkc_RegDeleteAll(void);
TKC_API uint16_t Tkc_RegReadAll(TkcConfigSet* set);
TKC_API uint16_t Tkc_RegWriteAll(TkcConfigSet* set);
TKC_API uint16_t Tkc_RegWriteInfo(const uint32_t info[3]);

#ifdef __cplusplus
}
#endif

/* ---- Configuration files --------------------------------------------------
 * The whole store can be written to an XML file and replaced by the content
 * of one. Both operations work on configuration sets kept in the library;
 * they are serialised against each other and must not be called while
 * another thread changes the store.
 */
#ifdef __cplusplus
extern "C" {
#endif

/* Tkc_ExportConfigFile (ordinal 5): writes the store (Tkc_RegReadAll; servers
 * that cannot be read are left out) to path as an ISO-8859-1 XML document
 * with CR LF line ends. The file is written beside path and renamed over it,
 * so path never holds half a document.
 *   0   written
 *   2   the store holds no server; nothing is written
 *   11  the file cannot be created or written
 */
TKC_API uint16_t Tkc_ExportConfigFile(const char* path);

/* Tkc_ImportConfigFile (ordinal 4): reads path as XML when its name ends in
 * ".xml" (any case), else as the older text format, and, when the whole file
 * is valid, replaces the store with it in one transaction and restarts the
 * driver (Tkc_NTDriverClose, then Tkc_NTDriverInit). The store is untouched
 * on every failure before that. The text reader traces each line it
 * interprets on standard output.
 *   where (may be null): the number of Server elements begun (XML), or the
 *     line at fault when a text file fails.
 *   driverFailed (may be null): 1 when the store was replaced but stopping or
 *     starting the driver failed (the result is then the driver's code:
 *     1, 4, 5, 6 or 7), else 0.
 * Result:
 *   0   imported, driver restarted
 *   8, 9, 18, 24  the current store or the serial-port list could not be read
 *   11  the file cannot be opened
 *   12  text: the file cannot be read, or a line is longer than 2047 bytes
 *   13  XML: a Server has no usable IP
 *   14  text: syntax error (comma or dot missing, IP line not ending in VAR)
 *   15  a COM number is taken by another serial port of the computer
 *   16  a COM number is used twice in the file
 *   17  the file defines no server
 *   20  text: VERSION line missing, not first, or not 1.1
 *   22  text: unknown OPTIONS key
 *   23  text: bad number, octet above 255, unknown model token, more than 68
 *       ports, FIXEDCONFIG value above 1 or more than 68 values
 *   25  XML: a server whose name no device rule knows (no ports); either
 *       format: more than 4095 servers
 *   26  XML: the file holds NUL bytes (a 16-bit encoding)
 *   27  XML: not well formed
 *   28  XML: a PortName above 68, shorter than four characters, or not in
 *       the server's port layout
 */
TKC_API uint16_t Tkc_ImportConfigFile(const char* path, uint16_t* where, uint16_t* driverFailed);

#ifdef __cplusplus
}
#endif
