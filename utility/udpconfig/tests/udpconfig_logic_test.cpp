// The configuration table, Copy Settings, both OK checks and the sending,
// without widgets or a network.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "config_ok.h"
#include "copy_settings.h"
#include "send_config.h"
#include "tarvik/clock.h"
#include "tarvik/ui_hooks.h"
#include "udp_config_table.h"

namespace app = tarvik::app;

namespace {

uint32_t Address(const char* text) {
  uint32_t value = 0;
  EXPECT_TRUE(app::ParseIpv4(text, &value)) << text;
  return value;
}

std::vector<app::PreviewRow> Rows(size_t n) { return std::vector<app::PreviewRow>(n); }

std::vector<std::string> Ips(const std::vector<app::PreviewRow>& rows) {
  std::vector<std::string> ips;
  for (const auto& row : rows) ips.push_back(row.ip);
  return ips;
}

app::NetworkValues Static(const char* ip, const char* alias = "Dev") {
  app::NetworkValues v;
  v.dhcp = 0;
  v.ip = ip;
  v.mask = "255.255.255.0";
  v.gateway = "10.0.0.254";
  v.alias = alias;
  return v;
}

// A table of n devices whose current addresses are 10.0.0.(10+r), static.
app::UdpConfigTable Table(int n) {
  app::UdpConfigTable table;
  std::vector<int> records;
  for (int i = 1; i <= n; ++i) records.push_back(i);
  app::FillConfigTable(&table, records);
  for (int r = 0; r < n; ++r) {
    app::UdpConfigEntry& e = table.entries[r];
    snprintf(e.ip, sizeof e.ip, "10.0.0.%d", (10 + r) % 256);
    strcpy(e.mask, "255.255.255.0");
    strcpy(e.gateway, "10.0.0.254");
    snprintf(e.name, sizeof e.name, "Q410X-%d", r);
  }
  return table;
}

app::PreviewRow StaticRow(const char* ip, const char* alias = "a") {
  return {false, alias, ip, "255.255.255.0", "10.0.0.254"};
}

}  // namespace

TEST(ConfigTable, FillTakesAtMost255RecordsInOrderAndSkipsNone) {
  std::vector<int> records = {0, 7};
  for (int i = 1; i <= 300; ++i) records.push_back(i + 10);
  app::UdpConfigTable table;
  std::memset(&table, 0xAB, sizeof table);  // stale content must not survive
  EXPECT_EQ(app::FillConfigTable(&table, records), 255);
  EXPECT_EQ(app::ConfigTableCount(table), 255);
  EXPECT_EQ(table.entries[0].moduleIndex, 7);
  EXPECT_EQ(table.entries[1].moduleIndex, 11);
  EXPECT_EQ(table.entries[254].moduleIndex, 264);
  EXPECT_EQ(table.entries[0].ip[0], '\0');

  app::FillConfigTable(&table, {3, 4, 5});
  table.entries[1].moduleIndex = 0;  // the first zero index ends the table
  EXPECT_EQ(app::ConfigTableCount(table), 1);
}

TEST(ConfigTable, LoadStoresTheDevicesValuesCutToTheirFields) {
  app::UdpConfigTable table;
  app::FillConfigTable(&table, {2, 9});
  app::ModuleInfo full;
  std::memset(&full, 'x', sizeof full);  // fields without their NUL
  full.dhcp = 1;
  auto reader = [&full](int index, app::ModuleInfo* info) {
    if (index != 2) return false;
    *info = full;
    return true;
  };
  EXPECT_EQ(app::LoadConfigTable(&table, reader), 2);
  const app::UdpConfigEntry& e = table.entries[0];
  EXPECT_EQ(std::string(e.name), std::string(19, 'x'));
  EXPECT_EQ(std::string(e.alias), std::string(19, 'x'));
  EXPECT_EQ(std::string(e.ip), std::string(15, 'x'));
  EXPECT_EQ(std::string(e.mac), std::string(17, 'x'));
  EXPECT_EQ(e.dhcp, 1);
  EXPECT_EQ(table.entries[1].moduleIndex, 9);  // unreadable: empty values, kept index
  EXPECT_EQ(std::string(table.entries[1].ip), "");
}

TEST(CopySettings, AliasesAreNumberedFromTheSecondRow) {
  auto rows = Rows(3);
  ASSERT_EQ(app::CopySettings(Static("10.0.0.5"), {}, &rows), nullptr);
  EXPECT_EQ(rows[0].alias, "Dev");
  EXPECT_EQ(rows[1].alias, "Dev1");
  EXPECT_EQ(rows[2].alias, "Dev2");
  EXPECT_EQ(rows[1].mask, "255.255.255.0");
  EXPECT_EQ(rows[2].gateway, "10.0.0.254");
  EXPECT_FALSE(rows[2].dhcp);
}

TEST(CopySettings, AddressWalk) {
  struct Case {
    const char* start;
    std::vector<const char*> taken;
    size_t rows;
    std::vector<std::string> expected;
  } cases[] = {
      {"10.0.0.254", {}, 3, {"10.0.0.254", "10.0.0.1", "10.0.0.2"}},
      {"10.0.0.255", {}, 2, {"10.0.0.1", "10.0.0.2"}},
      {"192.168.3.0", {}, 1, {"192.168.3.1"}},
      // Addresses found devices use are passed over, the typed one too.
      {"10.0.0.5", {"10.0.0.5", "10.0.0.7"}, 3, {"10.0.0.6", "10.0.0.8", "10.0.0.9"}},
      {"10.0.0.253", {"10.0.0.1", "10.0.0.2"}, 3, {"10.0.0.253", "10.0.0.254", "10.0.0.3"}},
      // Another network's address does not block this one.
      {"10.0.0.5", {"10.0.1.5"}, 1, {"10.0.0.5"}},
  };
  for (const Case& c : cases) {
    app::TakenAddresses taken;
    for (const char* t : c.taken) taken.insert(Address(t));
    auto rows = Rows(c.rows);
    ASSERT_EQ(app::CopySettings(Static(c.start), taken, &rows), nullptr) << c.start;
    EXPECT_EQ(Ips(rows), c.expected) << c.start;
  }
}

TEST(CopySettings, FullNetworkLeavesRowsWithoutAnAddressWhichOkRefuses) {
  auto rows = Rows(255);
  ASSERT_EQ(app::CopySettings(Static("10.0.0.1"), {Address("10.0.0.100")}, &rows), nullptr);
  std::map<std::string, int> seen;
  for (const auto& row : rows)
    if (!row.ip.empty()) {
      EXPECT_EQ(++seen[row.ip], 1) << row.ip;
    }
  EXPECT_EQ(seen.size(), 253u);
  EXPECT_EQ(rows[253].ip, "");
  EXPECT_EQ(rows[254].ip, "");

  app::UdpConfigTable table;
  std::vector<int> records;
  for (int i = 1; i <= 255; ++i) records.push_back(i);
  app::FillConfigTable(&table, records);
  std::string message;
  EXPECT_FALSE(app::AcceptPreviewRows(rows, &table, &message));
  EXPECT_EQ(message, "Row 253, invalid IP address.");
}

TEST(CopySettings, DhcpOnChecksEveryRowWithoutCheckingTheFields) {
  app::NetworkValues v = Static("not an address");
  v.mask = "";
  v.dhcp = 1;
  auto rows = Rows(2);
  rows[1] = StaticRow("10.0.0.9");
  ASSERT_EQ(app::CopySettings(v, {}, &rows), nullptr);
  for (const auto& row : rows) {
    EXPECT_TRUE(row.dhcp);
    EXPECT_EQ(row.ip, "-");
    EXPECT_EQ(row.mask, "-");
    EXPECT_EQ(row.gateway, "-");
  }
  EXPECT_EQ(rows[1].alias, "Dev1");
}

TEST(CopySettings, FieldChecksInOrderMaskGatewayAddressAndRowsUntouched) {
  struct Case {
    const char *ip, *mask, *gateway, *message;
  } cases[] = {
      {"1.2.3", "255.255", "x", "Invalid Sub-net Mask!"},
      {"1.2.3", "255.255.255.0", "10.0.0.256", "Invalid Gateway!"},
      {"1.2.3", "255.255.255.0", "10.0.0.1", "Invalid IP Address!"},
      {"010.0.0.1", "255.255.255.0", "10.0.0.1", "Invalid IP Address!"},
      {"0.0.0.0", "255.255.255.0", "10.0.0.1", "Invalid IP Address!"},
  };
  for (const Case& c : cases) {
    app::NetworkValues v = Static(c.ip);
    v.mask = c.mask;
    v.gateway = c.gateway;
    auto rows = Rows(2);
    rows[0] = StaticRow("10.0.0.9", "keep");
    const char* message = app::CopySettings(v, {}, &rows);
    ASSERT_NE(message, nullptr) << c.ip;
    EXPECT_STREQ(message, c.message);
    EXPECT_EQ(rows[0].alias, "keep");
    EXPECT_EQ(rows[0].ip, "10.0.0.9");
  }
}

TEST(OkSeveralDevices, RowChecksNameTheFirstBadCellAndSkipCheckedRows) {
  struct Case {
    std::vector<app::PreviewRow> rows;
    const char* message;
  } cases[] = {
      {{StaticRow("1.2.3"), StaticRow("10.0.0.2")}, "Row 0, invalid IP address."},
      {{StaticRow("10.0.0.1"), {false, "a", "10.0.0.2", "255.0", "10.0.0.254"}},
       "Row 1, invalid Sub-net Mask."},
      {{StaticRow("10.0.0.1"), {false, "a", "10.0.0.2", "255.255.255.0", "-"}},
       "Row 1, invalid Gateway."},
      {{{true, "a", "-", "-", "-"}, StaticRow("10.0.0.2"), StaticRow("")},
       "Row 2, invalid IP address."},
      {{StaticRow("10.0.0.40"), StaticRow("10.0.0.41"), StaticRow("10.0.0.40")},
       "Row 0 and row 2, same IP address."},
  };
  for (const Case& c : cases) {
    app::UdpConfigTable table = Table(static_cast<int>(c.rows.size()));
    const app::UdpConfigTable before = table;
    std::string message;
    EXPECT_FALSE(app::AcceptPreviewRows(c.rows, &table, &message)) << c.message;
    EXPECT_EQ(message, c.message);
    EXPECT_EQ(std::memcmp(&table, &before, sizeof table), 0) << c.message;
  }
}

TEST(OkSeveralDevices, DevicesThatKeepTheirSharedStaticAddressAreNoDuplicate) {
  app::UdpConfigTable table = Table(3);
  strcpy(table.entries[1].ip, "10.0.0.10");  // two devices already share .10
  std::string message;
  EXPECT_TRUE(app::AcceptPreviewRows(
      {StaticRow("10.0.0.10", "a"), StaticRow("10.0.0.10", "b"), StaticRow("10.0.0.12")}, &table,
      &message))
      << message;
  // A device on DHCP that is given the address sends it: a duplicate.
  table = Table(2);
  strcpy(table.entries[1].ip, "10.0.0.10");
  table.entries[1].dhcp = 1;
  EXPECT_FALSE(app::AcceptPreviewRows({StaticRow("10.0.0.10"), StaticRow("10.0.0.10")}, &table,
                                      &message));
  EXPECT_EQ(message, "Row 0 and row 1, same IP address.");
}

TEST(OkSeveralDevices, StoresAliasCheckBoxAndAddressesOfUncheckedRowsOnly) {
  app::UdpConfigTable table = Table(2);
  std::vector<app::PreviewRow> rows = {
      StaticRow("10.0.0.77", "an-alias-of-twenty!!"),
      {true, "b", "-", "-", "-"},
  };
  std::string message;
  ASSERT_TRUE(app::AcceptPreviewRows(rows, &table, &message)) << message;
  EXPECT_STREQ(table.entries[0].alias, "an-alias-of-twenty!");
  EXPECT_STREQ(table.entries[0].ip, "10.0.0.77");
  EXPECT_EQ(table.entries[0].dhcp, 0);
  EXPECT_EQ(table.entries[1].dhcp, 1);
  EXPECT_STREQ(table.entries[1].alias, "b");
  EXPECT_STREQ(table.entries[1].ip, "10.0.0.11");  // the device's own, not "-"
  EXPECT_STREQ(table.entries[1].gateway, "10.0.0.254");
}

TEST(OkOneDevice, DhcpOnSkipsTheAddressChecksAndKeepsTheDevicesAddresses) {
  app::UdpConfigTable table = Table(1);
  app::NetworkValues v = Static("1.2.3", "new");
  v.dhcp = 1;
  v.gateway = "junk";
  std::string message;
  ASSERT_TRUE(app::AcceptOneDevice(v, &table.entries[0], &message)) << message;
  EXPECT_EQ(table.entries[0].dhcp, 1);
  EXPECT_STREQ(table.entries[0].ip, "10.0.0.10");
  EXPECT_STREQ(table.entries[0].gateway, "10.0.0.254");
  EXPECT_STREQ(table.entries[0].alias, "new");
}

TEST(OkOneDevice, DhcpOffChecksThenTakesTheFields) {
  app::UdpConfigTable table = Table(1);
  std::string message;
  EXPECT_FALSE(app::AcceptOneDevice(Static("1.2.3"), &table.entries[0], &message));
  EXPECT_EQ(message, "Invalid IP Address!");
  EXPECT_STREQ(table.entries[0].alias, "");
  app::NetworkValues v = Static("10.0.0.99", "twenty-characters-xx");
  v.gateway = "10.0.0.1";
  ASSERT_TRUE(app::AcceptOneDevice(v, &table.entries[0], &message));
  EXPECT_STREQ(table.entries[0].ip, "10.0.0.99");
  EXPECT_STREQ(table.entries[0].gateway, "10.0.0.1");
  EXPECT_STREQ(table.entries[0].alias, "twenty-characters-x");
  EXPECT_EQ(table.entries[0].dhcp, 0);
}

class SendConfig : public ::testing::Test {
 protected:
  void SetUp() override {
    tarvik::SetClock(&clock_);
    tarvik::SetMessageBoxHook([this](const std::string& text, const std::string& caption,
                                     unsigned flags) {
      boxes_.push_back({text, caption, flags});
      return tarvik::kIdOk;
    });
    tarvik::SetWaitCursorHook([this](bool on) { waitDepth_ += on ? 1 : -1; });
  }
  void TearDown() override {
    tarvik::SetClock(nullptr);
    tarvik::SetMessageBoxHook(nullptr);
    tarvik::SetWaitCursorHook(nullptr);
  }
  struct Box {
    std::string text, caption;
    unsigned flags;
  };
  tarvik::VirtualClock clock_;
  std::vector<Box> boxes_;
  int waitDepth_ = 0;
};

TEST_F(SendConfig, SendsEveryEntryInOrderAndReportsAllResultsInOneBox) {
  app::UdpConfigTable table = Table(4);
  table.entries[1].dhcp = 1;
  table.entries[2].dhcp = 1;
  strcpy(table.entries[1].mac, "02:4E:A7:00:00:02");
  strcpy(table.entries[2].mac, "02:4E:A7:00:00:03");
  const int results[] = {0, -6, 0, -14};
  std::vector<int> sent;
  auto outcomes = app::SendConfigTable(table, [&](const app::UdpConfigEntry& e) {
    EXPECT_EQ(waitDepth_, 1);
    sent.push_back(e.moduleIndex);
    return results[sent.size() - 1];
  });
  EXPECT_EQ(sent, (std::vector<int>{1, 2, 3, 4}));
  ASSERT_EQ(outcomes.size(), 4u);
  EXPECT_EQ(outcomes[3].result, -14);
  // Only the confirmed DHCP entry waits, then the settling time.
  EXPECT_EQ(clock_.SleptMs(), 100u + 2000u);
  EXPECT_EQ(waitDepth_, 0);
  ASSERT_EQ(boxes_.size(), 1u);
  EXPECT_EQ(boxes_[0].caption, "Tarvik Utility");
  EXPECT_EQ(boxes_[0].flags & tarvik::kMbIconMask, unsigned(tarvik::kMbIconWarning));
  EXPECT_EQ(boxes_[0].text,
            "Confirmed: 2, no answer: 1, refused: 1, other errors: 0.\n"
            "Q410X-1 [02:4E:A7:00:00:02]: Configuration failiure, error=-6\n"
            "Q410X-3 []: Configuration failiure, error=-14\n"
            "Q410X-0 []: confirmed\n"
            "Q410X-2 [02:4E:A7:00:00:03]: confirmed");
}

TEST_F(SendConfig, AllConfirmedIsInformationAndAnEmptyTableSendsNothing) {
  app::UdpConfigTable table = Table(1);
  app::SendConfigTable(table, [](const app::UdpConfigEntry&) { return 0; });
  ASSERT_EQ(boxes_.size(), 1u);
  EXPECT_EQ(boxes_[0].flags & tarvik::kMbIconMask, unsigned(tarvik::kMbIconInformation));

  app::FillConfigTable(&table, {});
  int calls = 0;
  EXPECT_TRUE(app::SendConfigTable(table, [&](const app::UdpConfigEntry&) { return ++calls; }).empty());
  EXPECT_EQ(calls, 0);
  EXPECT_EQ(boxes_.size(), 1u);
}

TEST(SendReport, ManyFailuresAreCutToOneMessage) {
  std::vector<app::EntryOutcome> outcomes(255, {"Q410X-2", "02:4E:A7:00:00:01", -6});
  bool all = true;
  const std::string text = app::ReportText(outcomes, &all);
  EXPECT_FALSE(all);
  EXPECT_LT(text.size(), 500u);
  EXPECT_EQ(text.rfind("Confirmed: 0, no answer: 255,", 0), 0u);
  EXPECT_EQ(text.substr(text.size() - 4), "\n...");
}

TEST(CopySettings, TakenAddressesAreTheFoundDevicesOutsideTheTable) {
  app::UdpConfigTable table;
  app::FillConfigTable(&table, {2, 4});
  auto reader = [](int index, app::ModuleInfo* info) {
    std::memset(info, 0, sizeof *info);
    if (index == 3)
      strcpy(info->ip, "bogus");
    else
      snprintf(info->ip, sizeof info->ip, "10.0.0.%d", index % 256);
    return index <= 5;
  };
  EXPECT_EQ(app::AddressesOfOtherDevices(table, 6, reader),
            (app::TakenAddresses{Address("10.0.0.1"), Address("10.0.0.5")}));
}

// An alias goes into the datagram as ",ALIAS=value": one that holds ',' or
// '=' added real fields past the dialog's address checks, and Copy
// Settings spread it to every row.
TEST(AliasField, CommaEqualsAndControlCharactersAreRefusedAtEveryEntry) {
  const char* bad[] = {"a,IP=10.0.0.9", "a,DHCP=1", "a=b", "a\x1b[2J", "a\rb", "del\x7F"};
  for (const char* alias : bad) {
    std::string message;
    app::UdpConfigTable table = Table(2);
    const app::UdpConfigTable before = table;
    EXPECT_FALSE(app::AcceptOneDevice(Static("10.0.0.99", alias), &table.entries[0], &message))
        << alias;
    EXPECT_EQ(message, "Invalid Alias! It may not hold ',', '=' or control characters.");
    // A checked row sends its alias too.
    EXPECT_FALSE(app::AcceptPreviewRows({StaticRow("10.0.0.50"), {true, alias, "-", "-", "-"}},
                                        &table, &message))
        << alias;
    EXPECT_EQ(message, "Row 1, invalid Alias (no ',', '=' or control characters).");
    EXPECT_EQ(std::memcmp(&table, &before, sizeof table), 0) << alias;
    auto rows = Rows(2);
    EXPECT_STREQ(app::CopySettings(Static("10.0.0.5", alias), {}, &rows),
                 "Invalid Alias! It may not hold ',', '=' or control characters.");
    EXPECT_EQ(rows[1].alias, "") << alias;
  }
  std::string message;
  app::UdpConfigTable table = Table(1);
  ASSERT_TRUE(app::AcceptOneDevice(Static("10.0.0.99", "lab 2-b_c.d"), &table.entries[0], &message))
      << message;
  EXPECT_STREQ(table.entries[0].alias, "lab 2-b_c.d");
}

// Cut back to 19 at OK, "alias1" ... of a 19-character alias all became the
// same alias, and the list had shown them different.
TEST(CopySettings, LongAliasIsShortenedSoEveryNumberedAliasFitsAndDiffers) {
  struct Case {
    const char* alias;
    size_t rows;
    std::vector<std::string> expected;  // first, second and last row
  } cases[] = {
      {"abcdefghijklmnopqrs", 3, {"abcdefghijklmnopqr", "abcdefghijklmnopqr1", "abcdefghijklmnopqr2"}},
      // A base ending in a digit: row 0 takes the cut base too, or it would
      // equal row 1.
      {"abcdefghijklmnopqr1", 2, {"abcdefghijklmnopqr", "abcdefghijklmnopqr1", "abcdefghijklmnopqr1"}},
      {"abcdefghijklmnopqrs", 11, {"abcdefghijklmnopq", "abcdefghijklmnopq1", "abcdefghijklmnopq10"}},
      {"abcdefghijklmnopqrs", 255, {"abcdefghijklmnop", "abcdefghijklmnop1", "abcdefghijklmnop254"}},
      {"shortish", 255, {"shortish", "shortish1", "shortish254"}},
      {"abcdefghijklmnopqrs", 1, {"abcdefghijklmnopqrs", "abcdefghijklmnopqrs", "abcdefghijklmnopqrs"}},
  };
  for (const Case& c : cases) {
    auto rows = Rows(c.rows);
    app::NetworkValues v = Static("10.0.0.1", c.alias);
    v.dhcp = 1;  // 255 rows need no addresses of their own here
    ASSERT_EQ(app::CopySettings(v, {}, &rows), nullptr) << c.alias;
    EXPECT_EQ(rows.front().alias, c.expected[0]) << c.alias << " " << c.rows;
    if (c.rows > 1) {
      EXPECT_EQ(rows[1].alias, c.expected[1]) << c.alias << " " << c.rows;
    }
    EXPECT_EQ(rows.back().alias, c.expected[2]) << c.alias << " " << c.rows;
    // What the preview shows is what OK stores: all fit, none alike.
    app::UdpConfigTable table = Table(static_cast<int>(c.rows));
    std::string message;
    ASSERT_TRUE(app::AcceptPreviewRows(rows, &table, &message)) << message;
    std::set<std::string> aliases;
    for (size_t r = 0; r < c.rows; ++r) {
      EXPECT_EQ(std::string(table.entries[r].alias), rows[r].alias);
      aliases.insert(rows[r].alias);
    }
    EXPECT_EQ(aliases.size(), c.rows) << c.alias;
  }
}

TEST(OkSeveralDevices, AliasesThatTheCutWouldMakeOneAreRefused) {
  app::UdpConfigTable table = Table(3);
  const app::UdpConfigTable before = table;
  std::string message;
  // The cell editor takes 20 characters; these two differ only in the 20th.
  EXPECT_FALSE(app::AcceptPreviewRows({StaticRow("10.0.0.50", "x"),
                                       StaticRow("10.0.0.51", "an-alias-of-twenty!a"),
                                       StaticRow("10.0.0.52", "an-alias-of-twenty!b")},
                                      &table, &message));
  EXPECT_EQ(message, "Row 1 and row 2, same Alias once cut to 19 characters.");
  EXPECT_EQ(std::memcmp(&table, &before, sizeof table), 0);
  // Aliases that are the same as shown are the user's choice.
  EXPECT_TRUE(app::AcceptPreviewRows({StaticRow("10.0.0.50", "lab"), StaticRow("10.0.0.51", "lab"),
                                      StaticRow("10.0.0.52", "lab")},
                                     &table, &message))
      << message;
}

TEST(SendReport, CutReportEndsInOneEllipsisAfterTheLastLineThatFits) {
  // A long line that does not fit cuts the report; a shorter one after it
  // would still fit and used to follow the "...", and the next long one
  // brought a second "...".
  std::vector<app::EntryOutcome> outcomes(6, {"Q410X-2", std::string(17, 'F'), -6});
  outcomes.push_back({std::string(19, 'L'), std::string(17, 'G'), -6});
  outcomes.push_back({"Q", "M", -6});
  outcomes.push_back({std::string(19, 'L'), std::string(17, 'H'), -6});
  bool all = true;
  const std::string text = app::ReportText(outcomes, &all);
  EXPECT_LT(text.size(), 500u);
  EXPECT_EQ(text.find("..."), text.size() - 3) << text;
  EXPECT_EQ(text.find("Q [M]"), std::string::npos) << text;
  EXPECT_NE(text.find("FFFFFFFFFFFFFFFFF]: Configuration failiure, error=-6\n..."),
            std::string::npos)
      << text;
}

TEST(SendReport, DevicesNamesAndMacsStayOnTheirLine) {
  bool all = true;
  const std::string text =
      app::ReportText({{"Q410X2\nForged: 9", "02:4E\x1b[2J", -6}, {"ok\r", "M", 0}}, &all);
  EXPECT_EQ(text,
            "Confirmed: 1, no answer: 1, refused: 0, other errors: 0.\n"
            "Q410X2\\nForged: 9 [02:4E\\x1b[2J]: Configuration failiure, error=-6\n"
            "ok\\r [M]: confirmed");
}
