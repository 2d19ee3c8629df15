#include "text_model_token.h"

#include <gtest/gtest.h>

using cfgfile::ParseTextModel;
using cfgfile::TextModel;

namespace {

struct ModelCase {
  const char* token;
  const char* serverName;  // null: not a model
  int ports;
};

class TextModelTokens : public testing::TestWithParam<ModelCase> {};

TEST_P(TextModelTokens, NameAndPortCount) {
  TextModel model;
  const ModelCase& c = GetParam();
  ASSERT_EQ(ParseTextModel(c.token, &model), c.serverName != nullptr) << c.token;
  if (!c.serverName) return;
  EXPECT_EQ(model.serverName, c.serverName);
  EXPECT_EQ(model.ports, c.ports);
}

INSTANTIATE_TEST_SUITE_P(
    Table, TextModelTokens,
    testing::Values(ModelCase{"1", "Q410X1", 1}, ModelCase{"8", "Q410X8", 8}, ModelCase{"6", nullptr, 0},
                    ModelCase{"0", nullptr, 0}, ModelCase{"9", nullptr, 0},
                    ModelCase{"Q410X4", "Q410X4", 4}, ModelCase{"1380K7", "1380K7", 7},
                    ModelCase{"Q410X6", nullptr, 0}, ModelCase{"Q410XA", "Q410XA", 2},
                    ModelCase{"1380KX", "1380KX", 2}, ModelCase{"1380KB", nullptr, 0},
                    ModelCase{"Q410X", nullptr, 0}, ModelCase{"5JV2", "5JV2", 1},
                    ModelCase{"5JV0", "5JV0", 1}, ModelCase{"5JV1", nullptr, 0},
                    ModelCase{"3144", "3144", 3}, ModelCase{"5963", "5963", 3},
                    ModelCase{"9833", "9833", 4}, ModelCase{"2596", "2596", 4},
                    ModelCase{"3144-16", "3144-16", 16}, ModelCase{"3643-8", "3643-8", 8},
                    ModelCase{"3144-68", "3144-68", 68}, ModelCase{"3144-69", nullptr, 0},
                    ModelCase{"3144-123", nullptr, 0}, ModelCase{"3144-", nullptr, 0},
                    ModelCase{"3144X", nullptr, 0}, ModelCase{"L1431Z-12", "L1431Z-12", 12},
                    ModelCase{"L1431Z-0", nullptr, 0}, ModelCase{"N4904X-4", "N4904X-4", 4},
                    ModelCase{"H7XZA:2-1300", "H7XZA:2-1300", 6},
                    ModelCase{"H7XZ3:4-4120", "H7XZ3:4-4120", 11},
                    ModelCase{"H7XZA:0-0000", nullptr, 0}, ModelCase{"H7XZA:2-13X0", nullptr, 0},
                    ModelCase{"H7XZA:2+1300", nullptr, 0}, ModelCase{"H-2400WR", "H-2400WR", 2},
                    ModelCase{"VF-226", "VF-226", 1}, ModelCase{"VF-225", "VF-225", 1},
                    ModelCase{"XYZ-389", "XYZ-389", 2}, ModelCase{"XYZ-319", "XYZ-319", 3},
                    ModelCase{"XYZ-376", "XYZ-376", 4}, ModelCase{"XYZ-370", "XYZ-370", 5},
                    ModelCase{"XYZ-399", "XYZ-399", 6}, ModelCase{"XYZ-345", "XYZ-345", 8},
                    ModelCase{"XYZ-3450", nullptr, 0}, ModelCase{"XYZ-8603A", "XYZ-8603A", 4},
                    ModelCase{"XYZ-8158-", "XYZ-8158-", 4}, ModelCase{"XYZ-8603", nullptr, 0},
                    ModelCase{"XYZ-86031", nullptr, 0}, ModelCase{"XYZ-8359B", "XYZ-8359B", 8},
                    ModelCase{"XYZ1558-68", "XYZ1558-68", 68}, ModelCase{"XYZ1558-99", nullptr, 0},
                    ModelCase{"XYZ1558-0", nullptr, 0}, ModelCase{"", nullptr, 0}),
    [](const testing::TestParamInfo<ModelCase>& info) {
      std::string name;
      for (const char* p = info.param.token; *p; ++p) name += isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
      return "T" + name + "_" + std::to_string(info.index);
    });

TEST(TextModelTokens, SlottedNameCarriesItsSlotCounts) {
  TextModel model;
  ASSERT_TRUE(ParseTextModel("H7XZ3:4-4120", &model));
  EXPECT_TRUE(model.slotted);
  EXPECT_EQ(model.slotPorts[0], 4);
  EXPECT_EQ(model.slotPorts[1], 4);
  EXPECT_EQ(model.slotPorts[2], 1);
  EXPECT_EQ(model.slotPorts[3], 2);
  EXPECT_EQ(model.slotPorts[4], 0);
}

}  // namespace
