// The RFC 2217 session against Debian's ser2net on loopback (a socat pty
// pair for the serial line): what the session sets shows in the termios of
// ser2net's line, and a read gets the four values back.
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <string>

#include "rfc2217_session.h"
#include "ser2net_peer.h"

namespace {

using tarvik::device::Rfc2217Result;
using tarvik::device::Rfc2217Session;
using tarvik::device::SerialLine;
using tarvik::testing::Ser2netPeer;

TEST(Rfc2217SessionSer2net, TheLineTakesWhatTheSessionSetAndAReadReportsIt) {
  Ser2netPeer peer;
  std::string why;
  ASSERT_TRUE(peer.Start(&why)) << why;
  Rfc2217Session session;
  session.SetAddress(0x0100007Fu, peer.Port());
  session.SetTimeout(3000);

  // One connection throughout: ser2net may give its line its configured
  // settings again when the connection closes.
  ASSERT_EQ(session.Connect(), Rfc2217Result::kOk) << session.StatusText() << "\n" << peer.Log();
  SerialLine acknowledged;
  ASSERT_EQ(session.Set(SerialLine{57600, 7, 3, 2}, &acknowledged), Rfc2217Result::kOk)
      << session.StatusText() << "\n" << peer.Log();
  EXPECT_EQ(SerialLineText(acknowledged), "57600 7E2");
  termios t{};
  ASSERT_TRUE(peer.ReadLine(&t));
  // A Linux pty keeps CS8 without parity whatever it is told, so data size
  // and parity show only in ser2net's answers.
  EXPECT_EQ(cfgetospeed(&t), static_cast<speed_t>(B57600));
  EXPECT_TRUE(t.c_cflag & CSTOPB) << "two stop bits";

  SerialLine line;
  ASSERT_EQ(session.Query(&line), Rfc2217Result::kOk) << session.StatusText() << "\n" << peer.Log();
  EXPECT_EQ(SerialLineText(line), "57600 7E2");
  session.Close();

  // A connection of its own for a read: complete, whatever ser2net's line has then.
  ASSERT_EQ(session.Read(&line), Rfc2217Result::kOk) << session.StatusText();
  EXPECT_NE(line.baud, 0u);
  EXPECT_NE(line.dataSize, 0u);
}

}  // namespace
