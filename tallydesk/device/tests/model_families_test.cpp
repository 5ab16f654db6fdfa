#include "tallydesk/device/model_families.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

namespace tallydesk::device {
namespace {

struct FamilyCase {
  const char* name;
  const ModelFamily* family;
  std::vector<std::string> designations;
};

void PrintTo(const FamilyCase& c, std::ostream* os) { *os << c.name; }

class ModelFamilyTest : public testing::TestWithParam<FamilyCase> {};

TEST_P(ModelFamilyTest, HoldsExactlyItsDesignations) {
  std::vector<std::string> members;
  for (std::int32_t code : GetParam().family->Members()) members.emplace_back(TarnwickModelDesignation(code));
  EXPECT_EQ(members, GetParam().designations);
}

TEST_P(ModelFamilyTest, RejectsCodesOfNoModel) {
  for (std::int32_t code : {0, -1, 23, 31, 32, 33, 64, INT_MAX, INT_MIN}) {
    EXPECT_FALSE(GetParam().family->Contains(code)) << code;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Families, ModelFamilyTest,
    testing::Values(
        FamilyCase{"OldFirmwareModels", &OldFirmwareModels, {"T05", "T06", "T12", "T13", "T14", "T15"}},
        FamilyCase{"StandardModels", &StandardModels, {"T01", "T02", "T03", "T07", "T08", "T09", "T10", "T11"}},
        FamilyCase{"EntryModels", &EntryModels, {"T01", "T02"}},
        FamilyCase{"CompactModels", &CompactModels, {"T04"}},
        FamilyCase{"BalanceModels", &BalanceModels, {"T03", "T05", "T06", "T07", "T08", "T09", "T10", "T11"}},
        FamilyCase{"TypeCodeModels",
                   &TypeCodeModels,
                   {"T12", "T13", "T14", "T15", "T16", "T17", "T18", "T19", "T20"}},
        FamilyCase{"ExtendedModels", &ExtendedModels, {"T21", "T22"}}),
    [](const testing::TestParamInfo<FamilyCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace tallydesk::device
