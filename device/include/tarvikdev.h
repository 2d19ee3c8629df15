// tarvikdev.h: the command-port client, the code that talks to a device
// server over its TCP command port. The driver stand-in, tarvikctl and the
// utility's dialogs all use it; it uses the platform layer and the password
// encoder, and no Qt.
//
// How it works
// - A session (CZorn3, czorn3.h) is one short TCP conversation: the owner
//   sets the device's address (CMIP, cmip.h), its command port (10000 by
//   default) and a time-out, calls Connect, runs a few commands one after
//   the other and calls Close. Every action connects and closes; nothing
//   stays open between two actions of a front end.
// - A command is one send of "<code><text>\r"; the reply is the first chunk
//   that arrives within the time-out, with a trailing CR and the echoed code
//   taken off (command_forms.h). An exchange gives 0 (a reply), 1 (no reply:
//   time-out, closed connection or an empty payload) or 2 (an error reply,
//   a payload beginning "ERROR").
// - Every action sets the session's status text before it talks to the
//   device and replaces it by a failure text where it has one; front ends
//   show that text as it stands.
// - Connect waits on socket readiness with a deadline and calls
//   tarvik::PumpUiEvents() while it waits, so a window stays usable; an
//   exchange blocks its caller for up to its time-out. Times come from the
//   platform clock, so tests can freeze it.
// - Everything runs on the caller's thread. A session belongs to one thread
//   at a time; separate sessions may run on separate threads.
// - What a device sends is untrusted text: replies are cut to the caller's
//   buffers, never overrun them, and stop at a NUL.
//
// The parts, one header each:
//   cmip.h                  the IPv4 address value and its strict text test
//   cclientsocket.h         the non-blocking TCP socket under a session
//   czorn3.h                the session: queries, settings, lock and unlock
//   command_forms.h         how replies are cut and commands are written
//   port_settings.h         a port's serial settings as the device reports them
//   port_payload.h          those settings as positions in the port lists, and
//                           which ports accept fewer values
//   port_format.h           the lists' entries and the data format they make
//   port_device_settings.h  the port-settings procedure: read once, write
//                           back only what changed
//   device_words.h          the words for a lock state and a share mode, and
//                           the saved password in plain form
#pragma once

#include "cclientsocket.h"
#include "cmip.h"
#include "command_forms.h"
#include "czorn3.h"
#include "device_words.h"
#include "port_device_settings.h"
#include "port_format.h"
#include "port_payload.h"
#include "port_settings.h"
