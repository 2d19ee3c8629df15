/* tarvikcfg.h: the configuration library.
 *
 * How it works
 * The library keeps the list of device servers and the mapping of local COM
 * numbers to their serial ports in the registry key that the virtual COM
 * driver reads when it starts (TKC_PARAMETER_KEY, tarvik_driver_iface.h):
 * counts and options in the key itself, one subkey "Server%d" (n from 1)
 * per server with one value per setting. The caller owns the in-memory
 * forms, a server record (TkcServerRecord, passed with its size, 928) and
 * the whole configuration set (TkcConfigSet, about 3.8 MB; keep it in static
 * storage, never on the stack; set SizeStamp before every call).
 *
 * The library keeps no state between calls and no pointer to caller memory:
 * every operation opens the keys it needs and closes them before it
 * returns. Any thread may call; the registry store serialises the calls of
 * one process, and several processes may share the store: reading the
 * whole set takes one consistent snapshot, writing or deleting it is one
 * atomic commit. A changed store takes effect in the driver only when the
 * driver restarts.
 *
 * Every operation returns a 16-bit status code:
 *   0  success
 *   8  the Parameter key (or the services key) cannot be opened or created,
 *      or the store failed to take a write (nothing of that call is kept)
 *   9  a server subkey lacks "IPAddress", "ServerName" or "PortNo", or the
 *      empty "PW" could not be created
 *  10  a server subkey cannot be created
 *  18  the system's serial-port list cannot be opened
 *  24  a size argument or a set's SizeStamp is wrong, or a pointer argument
 *      is null
 *  25  too many ports in a server record; an unknown device name
 * Codes 1 and 4 to 7 belong to the driver link and 2, 11 to 17, 20, 22, 23
 * and 26 to 28 to the configuration files, declared below with those
 * operations.
 *
 * The port-mapping words are a storage format; reach their fields through
 * tarvik_portmap.h.
 */
#ifndef TARVIKCFG_H
#define TARVIKCFG_H

#include <stddef.h>
#include <stdint.h>

#include "tarvik_driver_iface.h"
#include "tarvik_portmap.h"

#if defined(_WIN32)
#define TKC_API __declspec(dllexport)
#else
#define TKC_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#define TKC_STATIC_ASSERT(cond, text) static_assert(cond, text)
#else
#define TKC_STATIC_ASSERT(cond, text) _Static_assert(cond, text)
#endif

/* Status codes of the store and the name parser. */
#define TKC_OK 0
#define TKC_ERR_PARAMETER_KEY 8
#define TKC_ERR_SERVER_VALUE 9
#define TKC_ERR_SERVER_KEY 10
#define TKC_ERR_SERIAL_LIST 18
#define TKC_ERR_SIZE 24
#define TKC_ERR_PORTS 25

#define TKC_MAX_SERVERS 4095
#define TKC_MAX_DATA_PORTS 68
#define TKC_PORTMAP_ENTRIES 70 /* 0 = I/O port, 1 = command port, 2..69 = data ports 1..68 */
#define TKC_MAX_COM 4095
#define TKC_MAX_SLOTS 9
#define TKC_NAME_SIZE 50
#define TKC_PW_SIZE 90
#define TKC_HOSTNAME_SIZE 128

#define TKC_RECORD_SIZE 928u
#define TKC_SET_SIZE 3800176u

/* Defaults that a read gives for missing or out-of-range values. */
#define TKC_DEFAULT_KEEP_ALIVE_MS 120000u
#define TKC_DEFAULT_CONNECTION_BROKEN_MS 180000u
#define TKC_DEFAULT_CONNECT_TIMEOUT_MS 5000u
#define TKC_DEFAULT_TCP_PORT_CMD 10000u
#define TKC_DEFAULT_TCP_PORT_IO 9999u
#define TKC_TCP_PORT_MIN 10u
#define TKC_TCP_PORT_MAX 65500u

/* One port mapping: the COM word and the options word, as stored. */
typedef struct TkcPortMap {
  uint32_t Com;
  uint32_t Options;
} TkcPortMap;

/* One configured device server. Integers are little-endian; texts are
 * NUL-terminated and cut to fit. IPv4 addresses hold the first octet in the
 * least significant byte; 0 = none. Only PortMap entries 0..PortNo+1 mean
 * anything. */
typedef struct TkcServerRecord {
  uint32_t PortNo;                        /* data ports, 0..68 */
  uint32_t IPAddress;
  uint32_t IPAddress2;
  char ServerName[TKC_NAME_SIZE];         /* decides the port layout */
  char AliasName[TKC_NAME_SIZE];
  TkcPortMap PortMap[TKC_PORTMAP_ENTRIES];
  uint32_t KeepAliveTime;                 /* ms */
  uint32_t ConnectionBroken;              /* ms */
  uint32_t ConnectTimeout;                /* ms */
  uint32_t TcpPortCmd;                    /* 10..65500 */
  uint32_t TcpPort7000;                   /* the I/O port's TCP port, 10..65500 */
  uint8_t Slotted;
  uint8_t SecondPort;
  int8_t SlotCount;                       /* 0..9 */
  uint8_t SlotPorts[13];                  /* [0] base unit, [1..9] slots, [10..12] 0 */
  char PW[TKC_PW_SIZE];                   /* encoded password, opaque here */
  char HostName[TKC_HOSTNAME_SIZE];
} TkcServerRecord;

TKC_STATIC_ASSERT(sizeof(TkcPortMap) == 8, "port mapping is two 32-bit words");
TKC_STATIC_ASSERT(offsetof(TkcServerRecord, PortNo) == 0, "PortNo");
TKC_STATIC_ASSERT(offsetof(TkcServerRecord, IPAddress) == 4, "IPAddress");
TKC_STATIC_ASSERT(offsetof(TkcServerRecord, IPAddress2) == 8, "IPAddress2");
TKC_STATIC_ASSERT(offsetof(TkcServerRecord, ServerName) == 12, "ServerName");
TKC_STATIC_ASSERT(offsetof(TkcServerRecord, AliasName) == 62, "AliasName");
TKC_STATIC_ASSERT(offsetof(TkcServerRecord, PortMap) == 112, "PortMap");
TKC_STATIC_ASSERT(offsetof(TkcServerRecord, KeepAliveTime) == 672, "KeepAliveTime");
TKC_STATIC_ASSERT(offsetof(TkcServerRecord, ConnectionBroken) == 676, "ConnectionBroken");
TKC_STATIC_ASSERT(offsetof(TkcServerRecord, ConnectTimeout) == 680, "ConnectTimeout");
TKC_STATIC_ASSERT(offsetof(TkcServerRecord, TcpPortCmd) == 684, "TcpPortCmd");
TKC_STATIC_ASSERT(offsetof(TkcServerRecord, TcpPort7000) == 688, "TcpPort7000");
TKC_STATIC_ASSERT(offsetof(TkcServerRecord, Slotted) == 692, "Slotted");
TKC_STATIC_ASSERT(offsetof(TkcServerRecord, SecondPort) == 693, "SecondPort");
TKC_STATIC_ASSERT(offsetof(TkcServerRecord, SlotCount) == 694, "SlotCount");
TKC_STATIC_ASSERT(offsetof(TkcServerRecord, SlotPorts) == 695, "SlotPorts");
TKC_STATIC_ASSERT(offsetof(TkcServerRecord, PW) == 708, "PW");
TKC_STATIC_ASSERT(offsetof(TkcServerRecord, HostName) == 798, "HostName");
TKC_STATIC_ASSERT(sizeof(TkcServerRecord) == TKC_RECORD_SIZE, "server record is 928 bytes");

/* The whole configuration. Records 0..Servers-1 are valid. */
typedef struct TkcConfigSet {
  uint32_t Servers;                       /* 0..4095 */
  uint32_t Ports;                         /* sum of (PortNo + 1) */
  uint32_t Flags;                         /* driver options word */
  TkcServerRecord Records[TKC_MAX_SERVERS];
  uint32_t SizeStamp;                     /* must hold TKC_SET_SIZE */
} TkcConfigSet;

TKC_STATIC_ASSERT(offsetof(TkcConfigSet, Servers) == 0, "Servers");
TKC_STATIC_ASSERT(offsetof(TkcConfigSet, Ports) == 4, "Ports");
TKC_STATIC_ASSERT(offsetof(TkcConfigSet, Flags) == 8, "Flags");
TKC_STATIC_ASSERT(offsetof(TkcConfigSet, Records) == 12, "Records");
TKC_STATIC_ASSERT(offsetof(TkcConfigSet, SizeStamp) == 3800172, "SizeStamp");
TKC_STATIC_ASSERT(sizeof(TkcConfigSet) == TKC_SET_SIZE, "configuration set is 3800176 bytes");

/* ---- Store of one server ------------------------------------------------
 * index is 0-based and selects the subkey "Server%d" of index + 1. */

/* @6 Reads server index into *record (zeroed first). Missing optional
 * values get their defaults; TcpPortCmd and TcpPort7000 outside 10..65500
 * read as 10000 and 9999; an AutoFlush of 0 or above 500 reads as 5. A
 * "ComNo%d" below 257 is an older store's plain COM number: it is converted
 * and the port's FixedConfig comes from "FixedConfig%d". A missing (or too
 * long) "PW" is created empty in the store. A stored "PortNo" above 68 is
 * cut to 68. Slot fields and layout come from Tkc_ParseServerInfo.
 * Returns 0; 24 (size not 928 or record null); 8 (no Parameter key or no
 * such subkey); 9 (a mandatory value is missing, or "PW" could not be
 * created; the record is zeroed). */
TKC_API uint16_t Tkc_RegReadOneServer(uint32_t index, TkcServerRecord* record, uint32_t size);

/* @7 Writes *record as server index, creating its subkey, all values in one
 * commit. Forces FixedConfig of data port 2 for names beginning "R-8615"
 * and of data port 1 for "FWR-4", and reduces entry 0 to its COM number,
 * DisablePurge and FixedConfig, both in *record too. Stale values of ports
 * beyond PortNo stay in the store.
 * Returns 0; 24 (size or null); 25 (PortNo above 68, nothing written);
 * 8 (no Parameter key, or the store failed to take the write: nothing
 * written); 10 (the subkey cannot be created). */
TKC_API uint16_t Tkc_RegWriteOneServer(uint32_t index, TkcServerRecord* record, uint32_t size);

/* ---- Counts and options -------------------------------------------------- */

/* @8 Reads "Servers" (0 when missing or above 4095) and "Ports" (0 when
 * "Servers" is missing or 0). Returns 0; 24 (null pointer); 8. */
TKC_API uint16_t Tkc_RegReadServersAndPorts(uint32_t* servers, uint32_t* ports);

/* @9 Writes "Servers" then "Ports". Returns 0; 8. */
TKC_API uint16_t Tkc_RegWriteServersAndPorts(uint32_t servers, uint32_t ports);

/* @10 Makes sure the driver's service key and its Parameter key exist (the
 * services key itself must exist). Returns 0; 8. */
TKC_API uint16_t Tkc_RegCheckCreateServiceKey(void);

/* @11 Lays out the ports of *record from its ServerName: sets PortNo,
 * Slotted, SecondPort, SlotCount, SlotPorts and bits 13-19 and 21-31 of the
 * COM words of the data ports laid out; COM numbers, DisablePurge and
 * FixedConfig are kept. Never more than 68 data ports.
 * Returns 0; 24 (size not 928 or record null; nothing changed); 25 (unknown
 * name, or a position read as a digit holds another character: PortNo 0,
 * slot fields reset, port words untouched). */
TKC_API uint16_t Tkc_ParseServerInfo(TkcServerRecord* record, uint32_t size);

/* @12 Fills map[4095] (byte n-1 for COM n) with 1 for every COM number that
 * the system's serial-port list names ("COM%d", upper case, the number taken
 * modulo 65536) and that no port of the set (entries 0 and 2..PortNo+1)
 * maps; 0 elsewhere. size must be 3800176.
 * Returns 0; 24 (size or null); 18 (no serial-port list). */
TKC_API uint16_t Tkc_RegReadOtherSerial(uint8_t* map, const TkcConfigSet* set, uint32_t size);

/* @13 Adds the deltas to "Servers" and "Ports" (32-bit wrap-around, so a
 * two's complement subtracts) in one commit. Both 0: the store is not
 * touched. Returns 0; 8. */
TKC_API uint16_t Tkc_RegAddServersAndPortsCount(uint32_t serverDelta, uint32_t portDelta);

/* @14 Deletes the subkeys "Server1".."Server<Servers>" and sets "Servers"
 * and "Ports" to 0 ("Flags" stays), in one commit. "Servers" missing or 0:
 * nothing changes. Returns 0; 8 (no Parameter key, or the commit failed and
 * the store is as it was). */
TKC_API uint16_t Tkc_RegDeleteAll(void);

/* @15 Reads "UIQueryInterval" (0 when missing). Returns 0; 24 (null); 8. */
TKC_API uint16_t Tkc_RegGetQueryInterval(uint32_t* interval);

/* @16 Reads "UISorting" (0 when missing). Returns 0; 24 (null); 8. */
TKC_API uint16_t Tkc_RegGetSortingType(uint32_t* sorting);

/* ---- The whole set ------------------------------------------------------- */

/* @17 Reads the whole store into *set from one consistent snapshot. A
 * server with a missing mandatory value is left out (the next one takes its
 * record) and the status of the last such server is returned; Servers and
 * Ports count what was read. While Flags bit 0 (format marker) is clear,
 * DisablePurge is cleared in every COM word read (Flags is left as read).
 * Returns 0; 24 (null or SizeStamp wrong); 8; 9. */
TKC_API uint16_t Tkc_RegReadAll(TkcConfigSet* set);

/* @18 Reads "Servers", "Ports" and "Flags" into the set's fields (all 0 when
 * "Servers" is missing or 0; Servers 0 when above 4095). The records and
 * SizeStamp are not looked at. Returns 0; 24 (null); 8. */
TKC_API uint16_t Tkc_RegReadInfo(TkcConfigSet* set);

/* @19 Writes "UIQueryInterval". Returns 0; 8. */
TKC_API uint16_t Tkc_RegSetQueryInterval(uint32_t interval);

/* @20 Writes "UISorting". Returns 0; 8. */
TKC_API uint16_t Tkc_RegSetSortingType(uint32_t sorting);

/* @21 Writes records 0..Servers-1 as "Server1".. without gaps (a record
 * that cannot be written, PortNo above 68, is skipped), then "Servers",
 * "Ports" and "Flags", all in one commit; on success sets the set's Servers
 * and Ports to what was written (the records are not moved) and applies the
 * record changes of Tkc_RegWriteOneServer. Returns 0; 24 (null or SizeStamp
 * wrong); 8 (no Parameter key, or the commit failed: the store and the
 * counts are as they were). */
TKC_API uint16_t Tkc_RegWriteAll(TkcConfigSet* set);

/* @22 Writes "Servers", "Ports" and "Flags" from info[0..2].
 * Returns 0; 24 (null); 8. */
TKC_API uint16_t Tkc_RegWriteInfo(const uint32_t info[3]);

/* ---- Change counter ------------------------------------------------------
 * "ChangeCount" (DWORD) in the Parameter key counts the writes of servers
 * and counts: Tkc_RegWriteOneServer, Tkc_RegWriteAll, Tkc_RegDeleteAll (when
 * it deletes), Tkc_RegWriteInfo, Tkc_RegWriteServersAndPorts,
 * Tkc_RegAddServersAndPortsCount (non-zero deltas), Tkc_RegAddServer (when it
 * writes) and the file import each add one to it (32-bit wrap-around) in the same commit as their change. The
 * options ("UISorting", "UIQueryInterval") do not raise it. A process that
 * holds a copy of the set compares the counter with the one it read
 * together with its copy, to learn that another process changed the store.
 * The driver and the configuration files do not use the value. */

/* @23 Reads "ChangeCount" into *count (0 when missing).
 * Returns 0; 24 (null); 8. */
TKC_API uint16_t Tkc_RegGetChangeCount(uint32_t* count);

/* ---- Data protocol of a server ------------------------------------------
 * "DataProtocol" (DWORD) in a server's subkey says what the driver speaks on
 * the data connections of that server's serial ports:
 * TKC_DATA_PROTOCOL_RAW (0, also when missing) is plain TCP,
 * TKC_DATA_PROTOCOL_RFC2217 (1) is the Telnet Com Port Control Option
 * (RFC 2217): option negotiation, IAC doubled both ways and the line
 * settings in-band. A stored value other than 0 and 1 reads as 0.
 *
 * The value lives beside the server record, not in it: the record and the
 * set keep their fixed layouts. The record operations (@6, @7) and the
 * plain whole-set operations (@17, @21) neither read nor write it, so a
 * record or a set written back where it was read keeps every server's
 * value. Whoever puts a server under another subkey (removing a server
 * moves those after it down one) or writes a set whose records no longer
 * sit where they were read carries the values along: with @25 for one
 * server, or by reading and writing the set with @26 and @27, which keep
 * the values in an array beside the records (entry i for record i). The
 * configuration files carry the value too. */
#define TKC_DATA_PROTOCOL_VALUE "DataProtocol"
#define TKC_DATA_PROTOCOL_RAW 0u
#define TKC_DATA_PROTOCOL_RFC2217 1u

/* @24 Reads "DataProtocol" of server index into *protocol (0 when missing
 * or not 1). Returns 0; 24 (null); 8 (no Parameter key or no such
 * subkey). */
TKC_API uint16_t Tkc_RegGetDataProtocol(uint32_t index, uint32_t* protocol);

/* @25 Writes "DataProtocol" of server index, whose subkey must exist, and
 * raises "ChangeCount", in one commit. Returns 0; 24 (protocol not 0 or 1);
 * 8 (no Parameter key, no such subkey, or the store failed to take the
 * write: nothing written). */
TKC_API uint16_t Tkc_RegSetDataProtocol(uint32_t index, uint32_t protocol);

/* @26 Reads the whole store into *set as Tkc_RegReadAll does and, from the
 * same snapshot, protocols[i] = the "DataProtocol" of record i (0 or 1);
 * entries from the set's Servers on are 0. count must be 4095.
 * Returns as Tkc_RegReadAll; 24 also for protocols null or count wrong. */
TKC_API uint16_t Tkc_RegReadAllWithProtocols(TkcConfigSet* set, uint8_t* protocols,
                                             uint32_t count);

/* @27 Writes the whole set as Tkc_RegWriteAll does and, in the same
 * commit, the "DataProtocol" of every record written from protocols[i] (a
 * skipped record's value is skipped with it). count must be 4095.
 * Returns as Tkc_RegWriteAll; 24 also for protocols null, count wrong or an
 * entry of a record to write other than 0 and 1 (nothing written). */
TKC_API uint16_t Tkc_RegWriteAllWithProtocols(TkcConfigSet* set, const uint8_t* protocols,
                                              uint32_t count);

/* ---- Adding a server ----------------------------------------------------
 * Several processes may add servers at once (two utilities, tarvikctl).
 * Reading the counts, writing "Server<Servers + 1>" and writing the counts
 * back as separate calls lets a second writer take the same index, and COM
 * numbers chosen from a copy of the set that another process has changed
 * can be given twice. Tkc_RegAddServer does all of it under one store write
 * lock, against the store's own content. */

/* What Tkc_RegAddServer is asked (in) and what it did (out). */
typedef struct TkcAddServerRequest {
  uint32_t Size;        /* in: sizeof(TkcAddServerRequest), 100 */
  uint32_t FirstCom;    /* in: lowest COM number to give, 1..4095; 0: give none */
  uint32_t Options;     /* in: TKC_ADD_* option bits */
  uint8_t Wanted[TKC_PORTMAP_ENTRIES]; /* in: non-zero for each PortMap entry that takes a COM number */
  uint8_t DataProtocol; /* in: TKC_DATA_PROTOCOL_*, written with the server */
  uint8_t Reserved;     /* zero */
  uint32_t Outcome;     /* out: TKC_ADDED_* */
  uint32_t Index;       /* out: the 0-based index the server got (TKC_ADDED_WRITTEN) */
  uint32_t NextCom;     /* out: one above the last COM number given; FirstCom when none */
  uint32_t Unmapped;    /* out: wanted entries left at COM 0 because no free number was left */
} TkcAddServerRequest;

TKC_STATIC_ASSERT(offsetof(TkcAddServerRequest, FirstCom) == 4, "FirstCom");
TKC_STATIC_ASSERT(offsetof(TkcAddServerRequest, Options) == 8, "Options");
TKC_STATIC_ASSERT(offsetof(TkcAddServerRequest, Wanted) == 12, "Wanted");
TKC_STATIC_ASSERT(offsetof(TkcAddServerRequest, DataProtocol) == 82, "DataProtocol");
TKC_STATIC_ASSERT(offsetof(TkcAddServerRequest, Outcome) == 84, "Outcome");
TKC_STATIC_ASSERT(offsetof(TkcAddServerRequest, Index) == 88, "Index");
TKC_STATIC_ASSERT(offsetof(TkcAddServerRequest, NextCom) == 92, "NextCom");
TKC_STATIC_ASSERT(offsetof(TkcAddServerRequest, Unmapped) == 96, "Unmapped");
TKC_STATIC_ASSERT(sizeof(TkcAddServerRequest) == 100, "add request is 100 bytes");

/* Options */
#define TKC_ADD_SKIP_DUPLICATE 0x00000001u /* a server with the same IPAddress stays the only one */

/* Outcomes */
#define TKC_ADDED_WRITTEN 0   /* the server was written as server Index */
#define TKC_ADDED_DUPLICATE 1 /* TKC_ADD_SKIP_DUPLICATE and the store holds its IPAddress */
#define TKC_ADDED_NO_COM 2    /* FirstCom given, an entry wanted, and no free number from FirstCom on */
#define TKC_ADDED_FULL 3      /* the store holds 4095 servers */

/* @28 Adds *record as a new server, in one commit under the store's write
 * lock: reads "Servers" and "Ports" (as Tkc_RegReadServersAndPorts does),
 * gives the entries marked in Wanted the lowest free COM numbers from
 * FirstCom on, in entry order, writes the record as the server of index
 * Servers (as Tkc_RegWriteOneServer does, with its changes to *record) with
 * its "DataProtocol", adds 1 and PortNo + 1 to the counts and raises
 * "ChangeCount" once.
 *
 * A COM number is free when no port of a server of the store (entries 0 and
 * data ports, values "ComNoIO" and "ComNo%d") maps it, and the system's
 * serial-port list does not name it, or ours (4095 bytes, byte n-1 for COM
 * n; may be null) marks it: a caller passes there the numbers its
 * configuration used when the driver last started, which the running driver
 * still holds. Only bits 0-11 of the wanted entries' COM words are set (0
 * when FirstCom is 0, or when the numbers ran out within the server: those
 * entries are counted in Unmapped); all other bits are written as given.
 *
 * Nothing is written, and the status is 0, when the outcome is
 * TKC_ADDED_DUPLICATE, TKC_ADDED_NO_COM or TKC_ADDED_FULL. On any non-zero
 * status nothing is written, *record is unchanged and the outputs are
 * Outcome 0, Index 0, NextCom FirstCom, Unmapped 0.
 * Returns 0; 24 (size not 928, a null pointer, Size wrong, FirstCom above
 * 4095, or DataProtocol not 0 or 1); 25 (PortNo above 68); 8 (no Parameter key, or the store
 * failed to take the write); 10 (the subkey cannot be created). */
TKC_API uint16_t Tkc_RegAddServer(TkcServerRecord* record, uint32_t size,
                                  TkcAddServerRequest* request, const uint8_t* ours);

/* ---- Driver link (ordinals 2, 3) and configuration files (4, 5) ----------
 * Declared here by the driver link and file import/export code. */

/* Driver link. Both operations first make sure the driver's service exists: when it
 * cannot be opened it is created (kernel driver, automatic start, normal
 * error control, the system directory followed by TKC_DRIVER_FILE, empty
 * display name) and 1 is returned without starting or stopping anything;
 * the next call then finds it. They wait for the wanted state in polls of
 * 1 s through the platform clock, at most 15, so a call may block for about
 * 15 s. One thread at a time. */
#define TKC_ERR_SERVICE_OPEN 1   /* service not opened (creation attempted) */
#define TKC_ERR_SC_MANAGER 4     /* the service manager could not be opened */
#define TKC_ERR_SERVICE_START 5  /* the start request failed */
#define TKC_ERR_SERVICE_STOP 6   /* the stop request failed */
#define TKC_ERR_SERVICE_WAIT 7   /* the wanted state was not reached in 15 polls */

/* @2 Makes sure the driver runs: 0 when it runs already (no start request)
 * or reached running after the start request. Returns 0; 1; 4; 5; 7. */
TKC_API uint16_t Tkc_NTDriverInit(void);

/* @3 Makes sure the driver is stopped: 0 when it does not run (no stop
 * request is sent, whatever its other state) or reached stopped after the
 * stop request. A driver whose virtual COM port an application holds open
 * stays stop pending, giving 7. Returns 0; 1; 4; 6; 7. */
TKC_API uint16_t Tkc_NTDriverClose(void);

/* Configuration files: the whole store can be written to an XML file and
 * replaced by the content of one. Both operations work on configuration sets
 * kept in the library; they are serialised against each other.
 *
 * @5 Tkc_ExportConfigFile: writes the store (Tkc_RegReadAll; servers
 * that cannot be read are left out) to path as an ISO-8859-1 XML document
 * with CR LF line ends. The file is written beside path and renamed over it,
 * so path never holds half a document.
 *   0   written
 *   2   the store holds no server; nothing is written
 *   11  the file cannot be created or written
 */
TKC_API uint16_t Tkc_ExportConfigFile(const char* path);

/* @4 Tkc_ImportConfigFile: reads path as XML when its name ends in
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
 *   8, 9, 18, 24  the current store or the serial-port list could not be
 *       read; 8 also when the store did not take the new content (it is
 *       then as it was)
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

#endif /* TARVIKCFG_H */
