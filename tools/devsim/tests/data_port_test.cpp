#include "data_port.h"

#include <gtest/gtest.h>

namespace devsim {
namespace {

DataPortSettings Configured(const std::map<std::string, std::string>& section) {
  DataPortSettings s;
  std::string error;
  EXPECT_TRUE(ConfigureDataPorts(section, &s, &error)) << error;
  return s;
}

TEST(DataSessionTest, EchoReturnsEveryByteAndSinkNone) {
  DataPortSettings echo = Configured({});
  DataSession e(&echo);
  bool drop = true;
  EXPECT_EQ(e.Receive("abc", &drop), "abc");
  EXPECT_FALSE(drop);
  DataPortSettings sink = Configured({{"data_mode", "sink"}});
  DataSession s(&sink);
  EXPECT_EQ(s.Receive("abc", &drop), "");
  EXPECT_EQ(s.Receive("de", &drop), "");
  EXPECT_EQ(s.Received(), 5u);
}

TEST(DataSessionTest, ScriptedAnswersRequestsThatArriveInPieces) {
  DataPortSettings s = Configured(
      {{"data_mode", "scripted"}, {"data_script", "PING\\r=>PONG\\r\\n;AT\\r=>OK\\r"}});
  DataSession d(&s);
  bool drop = false;
  EXPECT_EQ(d.Receive("xxPI", &drop), "");
  EXPECT_EQ(d.Receive("NG\rAT\r", &drop), "PONG\r\nOK\r");
  // A request answered once is not answered again by later bytes.
  EXPECT_EQ(d.Receive("\r", &drop), "");
}

TEST(DataSessionTest, DropComesAtTheByteCountAndCarriesOnlyTheBytesBefore) {
  DataPortSettings s = Configured({{"data_fault", "drop:5, refuse:200"}});
  EXPECT_EQ(s.refuseMs, 200u);
  DataSession d(&s);
  bool drop = false;
  EXPECT_EQ(d.Receive("abc", &drop), "abc");
  EXPECT_FALSE(drop);
  EXPECT_EQ(d.Receive("defg", &drop), "de");
  EXPECT_TRUE(drop);
}

TEST(DataPortConfigTest, RefusesBadValues) {
  struct Case {
    const char* key;
    const char* value;
  } cases[] = {{"data_mode", "loop"},        {"data_mode", "scripted"},
               {"data_script", "no arrow"},  {"io_port", "0"},
               {"io_port", "70000"},         {"data_fault", "drop:0"},
               {"data_fault", "refuse:x"},   {"data_fault", "explode"}};
  for (const Case& c : cases) {
    DataPortSettings s;
    std::string error;
    EXPECT_FALSE(ConfigureDataPorts({{c.key, c.value}}, &s, &error)) << c.key << "=" << c.value;
    EXPECT_FALSE(error.empty());
  }
  DataPortSettings s = Configured({{"io_port", "4001"}});
  EXPECT_EQ(s.ioPort, 4001);
}

}  // namespace
}  // namespace devsim
