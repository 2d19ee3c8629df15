// The PC-side options of one configured server, as the server options page
// shows them: the three driver times in whole seconds, the two TCP ports
// and the two address texts. Nothing here is sent to the device; the
// driver reads these values from the server record.
//
// The page and every front end that accepts these values run the same
// checks: the five numbers in a fixed order (the first failure is the one
// reported), and, when a dialog accepts the addresses, the two address
// texts. Storing back into the server record multiplies the times by 1000
// and takes only what the user changed, so that whatever changed in the
// record while the page was open (the periodic host-name lookup, another
// program) is kept.
#pragma once
#include <cstdint>
#include <functional>
#include <string>

#include "tarvikcfg.h"

namespace tarvik::device {

// The five numbers in the order they are checked.
enum ServerOptionNumber : int {
  kKeepAliveTime,
  kConnectionBroken,
  kConnectTimeout,
  kTcpPortCmd,
  kTcpPort7000,
  kServerOptionNumbers,
};

struct ServerOptions {
  int32_t numbers[kServerOptionNumbers] = {};  // times in seconds, ports as stored
  std::string address;   // "IP Address (Primary)"
  std::string address2;  // "Redundant IP (Secondary)"
  // The data ports speak RFC 2217. Kept beside the record, not in it: the
  // opener fills and stores it (ConfigSet::DataProtocol).
  bool rfc2217 = false;
};

// What the page shows for a record: times divided by 1000, the addresses
// as dotted texts (0 shows as "0.0.0.0").
ServerOptions OptionsFromRecord(const TkcServerRecord& record);

// True when both hold the same numbers, the same addresses (compared as
// parsed, so "", " " and "0.0.0.0" are one) and the same data protocol.
bool SameOptions(const ServerOptions& a, const ServerOptions& b);

enum OptionAddress : int { kPrimaryAddress, kRedundantAddress, kOptionAddresses };

// Decides an address that the user changed and that changed in the record
// as well while the page was open: true stores the user's (chosen), false
// keeps the record's (now).
using AddressConflict = std::function<bool(OptionAddress which, uint32_t chosen, uint32_t now)>;

struct OptionsMerge {
  bool changed = false;  // the record was changed
  // The record's address was kept over the one the page showed, without
  // asking: it changed meanwhile and the user left the field alone.
  bool keptNewer[kOptionAddresses] = {};
};

// Stores into record, as it is now, what the user changed on the page
// (chosen differs from shown, the options the page was filled with): times
// multiplied by 1000, the ports as they are, the addresses parsed as
// CMIP::SetText does (an invalid text reads as 0, so an empty redundant
// address clears it). A field the user left alone keeps the record's value,
// milliseconds included. An address both sides changed, to different
// values, goes to decide; without one the record's is kept.
OptionsMerge MergeOptionsIntoRecord(const ServerOptions& shown, const ServerOptions& chosen,
                                    TkcServerRecord& record, const AddressConflict& decide);

// A signed decimal integer as an edit field holds it: blanks around it and
// one sign allowed, nothing else. False for anything else, an empty text or
// a number outside 32 bits.
bool ParseSignedInt(const char* text, int32_t* value);

// Checks the five texts in order. Returns the index of the first that is
// not a number or lies outside its range (and its message in *message), or
// -1 when all pass; the numbers read go into values.
int CheckOptionNumbers(const std::string (&texts)[kServerOptionNumbers],
                       int32_t (&values)[kServerOptionNumbers], const char** message);

// The message of a failing address on OK, or null when both pass: the
// primary must be a valid address; the redundant may also be empty, a
// single blank or "0.0.0.0".
const char* CheckOptionAddresses(const ServerOptions& options);

}  // namespace tarvik::device
