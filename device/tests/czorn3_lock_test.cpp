// Lock query and unlock against a simulated device on loopback.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "command_server.h"
#include "czorn3.h"

namespace {

using devsim::CommandFault;
using devsim::CommandPortSettings;

class Lock : public ::testing::Test {
 protected:
  void Start(CommandPortSettings settings) {
    settings.ip = "127.0.0.1";
    server = std::make_unique<CommandServer>(std::move(settings));
    session.Address().SetText("127.0.0.1");
    session.SetPort(server->Port());
    session.SetTimeout(3000);
    ASSERT_EQ(session.Connect(), 0u);
    server->ClearReceived();
  }
  static CommandPortSettings Locked(const char* password) {
    CommandPortSettings settings;
    settings.password = password;
    return settings;
  }
  void Faults(std::vector<devsim::FaultRule> rules) {
    server->WithDevice([&](devsim::CommandPortDevice& d) { d.Settings().faults = rules; });
  }
  std::string Wire() { return server->Received(); }
  // The encoded text of the unlock command on the wire, or "".
  static std::string EncodedOnWire(const std::string& wire, size_t from = 0) {
    const size_t start = wire.find("26password=", from);
    if (start == std::string::npos) return "";
    const size_t end = wire.find(",LOCK=0", start);
    return wire.substr(start + 11, end - start - 11);
  }

  std::unique_ptr<CommandServer> server;
  CZorn3 session;
};

TEST_F(Lock, RightPasswordUnlocksThisConnection) {
  Start(Locked("s3cret"));
  EXPECT_EQ(session.QueryLockStatus(), 0u);
  EXPECT_EQ(session.StatusText(), "LockStatusCMD: Locked.");
  EXPECT_EQ(session.SetNetwork("127.0.0.3", nullptr, nullptr), 2u);  // still locked

  EXPECT_EQ(session.Unlock("s3cret"), 0u);
  EXPECT_EQ(session.StatusText(), "LockStatusCMD: Locked.");
  EXPECT_EQ(session.QueryLockStatus(), 1u);
  EXPECT_EQ(session.StatusText(), "LockStatusCMD: Unlocked.");
  EXPECT_EQ(session.SetNetwork("127.0.0.3", nullptr, nullptr), 0u);

  const std::string wire = Wire();
  const std::string encoded = EncodedOnWire(wire);
  EXPECT_EQ(wire.find("25lock26ISAVE=1,IP=127.0.0.3\r25lock25pubkey26password="), 0u) << wire;
  EXPECT_EQ(wire.substr(wire.find(",LOCK=0")), ",LOCK=025lock26ISAVE=1,IP=127.0.0.3\r");
  EXPECT_GE(encoded.size(), 2 * (6 + 6u));
  EXPECT_EQ(encoded.find_first_not_of("0123456789CDEFGHIJKLMNOPQRSTUVWX"), std::string::npos);
  EXPECT_EQ(encoded.find("s3cret"), std::string::npos);
}

TEST_F(Lock, UnlockHoldsOnlyForItsConnection) {
  Start(Locked("s3cret"));
  ASSERT_EQ(session.Unlock("s3cret"), 0u);
  session.Close();
  ASSERT_EQ(session.Connect(), 0u);
  EXPECT_EQ(session.QueryLockStatus(), 0u);
}

TEST_F(Lock, WrongPasswordIsRefused) {
  Start(Locked("s3cret"));
  EXPECT_EQ(session.Unlock("guess"), 4u);
  EXPECT_EQ(session.StatusText(), "Unlock CMD: Wrong Password.");
  EXPECT_EQ(session.QueryLockStatus(), 0u);
  EXPECT_EQ(session.SetNetwork("127.0.0.3", nullptr, nullptr), 2u);
  EXPECT_EQ(session.StatusText(), "Setting Error!");
}

TEST_F(Lock, TwoUnlocksSendDifferentTexts) {
  Start(Locked("s3cret"));
  ASSERT_EQ(session.Unlock("s3cret"), 0u);
  session.Close();
  ASSERT_EQ(session.Connect(), 0u);
  ASSERT_EQ(session.Unlock("s3cret"), 0u);
  const std::string wire = Wire();
  const std::string first = EncodedOnWire(wire);
  const std::string second = EncodedOnWire(wire, wire.find(",LOCK=0"));
  ASSERT_FALSE(first.empty());
  ASSERT_FALSE(second.empty());
  EXPECT_NE(first, second);
}

TEST_F(Lock, UnlockedDeviceGivesOneAfterOnlyTheQuery) {
  Start(CommandPortSettings());
  EXPECT_EQ(session.Unlock("s3cret"), 1u);
  EXPECT_EQ(session.StatusText(), "LockStatusCMD: Unlocked.");
  EXPECT_EQ(session.GetDeviceName(nullptr, 0), 0u);
  EXPECT_EQ(Wire(), "25lock10\r");
}

TEST_F(Lock, DeviceWithoutLockSupport) {
  CommandPortSettings settings;
  settings.lockSupported = false;
  Start(settings);
  EXPECT_EQ(session.QueryLockStatus(), 2u);
  EXPECT_EQ(session.StatusText(), "LockStatusCMD: Not support!");
  EXPECT_EQ(session.Unlock("s3cret"), 2u);
  EXPECT_EQ(session.StatusText(), "LockStatusCMD: Not support!");
  EXPECT_EQ(session.GetDeviceName(nullptr, 0), 0u);
  EXPECT_EQ(Wire(), "25lock25lock10\r");
}

TEST_F(Lock, EmptyPasswordDoesNothing) {
  Start(Locked("s3cret"));
  session.GetDeviceName(nullptr, 0);
  EXPECT_EQ(session.Unlock(""), 0u);
  EXPECT_EQ(session.Unlock(nullptr), 0u);
  EXPECT_EQ(session.StatusText(), "Getting device name...");
  EXPECT_EQ(Wire(), "10\r");
}

TEST_F(Lock, PayloadWithBothStatesCountsAsLocked) {
  Start(Locked("s3cret"));
  Faults({{"25lock", CommandFault::kFixedReply, "25LOCK=0,LOCK=1\r"}});
  EXPECT_EQ(session.QueryLockStatus(), 0u);
  Faults({{"25lock", CommandFault::kErrorReply, ""}});
  EXPECT_EQ(session.QueryLockStatus(), 2u);
  EXPECT_EQ(session.StatusText(), "LockStatusCMD: Not support!");
}

TEST_F(Lock, SilentLockQueryIsACommunicationFailure) {
  Start(Locked("s3cret"));
  session.SetTimeout(60000);  // the lock query keeps its own, shorter time-out
  Faults({{"25lock", CommandFault::kNoReply, ""}});
  EXPECT_EQ(session.Unlock("s3cret"), 3u);
  EXPECT_EQ(session.StatusText(), "LockStatusCMD: Communication Failure!");
  EXPECT_EQ(Wire(), "25lock");
}

TEST_F(Lock, SilentUnlockCommandIsATimeout) {
  Start(Locked("s3cret"));
  session.SetTimeout(200);
  Faults({{"26password", CommandFault::kNoReply, ""}});
  EXPECT_EQ(session.Unlock("s3cret"), 3u);
  EXPECT_EQ(session.StatusText(), "Unlock CMD: Communication timeout.");
}

TEST_F(Lock, MissingKeyTextStopsBeforeThePasswordIsSent) {
  Start(Locked("s3cret"));
  session.SetTimeout(200);
  for (const char* reply : {"25ERROR\r", "25PUBKEY\r", "25PUBKEY=\r", ""}) {
    server->ClearReceived();
    if (reply[0] == '\0') {
      Faults({{"25pubkey", CommandFault::kNoReply, ""}});
    } else {
      Faults({{"25pubkey", CommandFault::kFixedReply, reply}});
    }
    EXPECT_EQ(session.Unlock("s3cret"), 3u) << reply;
    EXPECT_EQ(session.StatusText(), "Unlock CMD: Communication timeout.");
    EXPECT_EQ(session.GetDeviceName(nullptr, 0), 0u);
    EXPECT_EQ(Wire(), "25lock25pubkey10\r") << reply;
  }
}

TEST_F(Lock, KeyTextOfOneCharacterIsUsed) {
  CommandPortSettings settings = Locked("s3cret");
  settings.keyText = "K";
  Start(settings);
  EXPECT_EQ(session.Unlock("s3cret"), 0u);
}

TEST_F(Lock, PasswordLongerThanAnyDeviceHoldsIsNotSent) {
  Start(Locked("s3cret"));
  const std::string longPassword(31, 'p');
  EXPECT_EQ(session.Unlock(longPassword.c_str()), 4u);
  EXPECT_EQ(session.StatusText(), "Unlock CMD: Wrong Password.");
  EXPECT_EQ(session.GetDeviceName(nullptr, 0), 0u);
  EXPECT_EQ(Wire(), "25lock25pubkey10\r");
}

TEST_F(Lock, LongestPasswordUnlocks) {
  const std::string password(30, 'p');
  Start(Locked(password.c_str()));
  EXPECT_EQ(session.Unlock(password.c_str()), 0u);
}

}  // namespace
