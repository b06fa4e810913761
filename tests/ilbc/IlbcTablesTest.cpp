// The generated constant tables must hold exactly the numbers of the table
// files they were generated from.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "IlbcTestData.h"
#include "KytRTP/KytCodec/ilbc/cIlbcTables.h"

namespace {

std::vector<std::string> ReadNumbers(const std::string& sName, std::string& sHeader) {
  std::ifstream in(IlbcTestData::Path("tables/" + sName + ".txt"));
  std::getline(in, sHeader);
  std::vector<std::string> numbers;
  std::string sToken;
  while (in >> sToken) numbers.push_back(sToken);
  return numbers;
}

TEST(IlbcTables, EveryTableMatchesItsFile) {
  ASSERT_EQ(std::size(cIlbcTables::kAll), 45u);
  for (const cIlbcTables::sEntry& entry : cIlbcTables::kAll) {
    SCOPED_TRACE(entry.pName);
    std::string sHeader;
    const std::vector<std::string> numbers = ReadNumbers(entry.pName, sHeader);
    ASSERT_EQ(numbers.size(), static_cast<size_t>(entry.nCount));
    const bool bFloat = sHeader.find("type: float") != std::string::npos;
    ASSERT_EQ(bFloat, entry.pFloat != nullptr);
    for (int i = 0; i < entry.nCount; i++) {
      if (bFloat) {
        EXPECT_EQ(entry.pFloat[i], std::strtof(numbers[i].c_str(), nullptr)) << "index " << i;
      } else {
        EXPECT_EQ(entry.pInt[i], std::atoi(numbers[i].c_str())) << "index " << i;
      }
    }
  }
}

TEST(IlbcTables, BitAllocationAddsUpToTheFrameSizes) {
  auto sum = [](const int* pTable, int nCount, int nRepeat = 1) {
    int nTotal = 0;
    for (int i = 0; i < nCount; i++) nTotal += pTable[i];
    return nTotal * nRepeat;
  };
  const int n20 =
      sum(cIlbcTables::kUlp20msLsfBits, 15) + sum(cIlbcTables::kUlp20msStartBits, 5) +
      sum(cIlbcTables::kUlp20msStartfirstBits, 5) + sum(cIlbcTables::kUlp20msScaleBits, 5) +
      sum(cIlbcTables::kUlp20msStateBits, 5, 57) + sum(cIlbcTables::kUlp20msExtraCbIndex, 15) +
      sum(cIlbcTables::kUlp20msExtraCbGain, 15) + sum(cIlbcTables::kUlp20msCbIndex, 30) +
      sum(cIlbcTables::kUlp20msCbGain, 30);
  const int n30 =
      sum(cIlbcTables::kUlp30msLsfBits, 30) + sum(cIlbcTables::kUlp30msStartBits, 5) +
      sum(cIlbcTables::kUlp30msStartfirstBits, 5) + sum(cIlbcTables::kUlp30msScaleBits, 5) +
      sum(cIlbcTables::kUlp30msStateBits, 5, 58) + sum(cIlbcTables::kUlp30msExtraCbIndex, 15) +
      sum(cIlbcTables::kUlp30msExtraCbGain, 15) + sum(cIlbcTables::kUlp30msCbIndex, 60) +
      sum(cIlbcTables::kUlp30msCbGain, 60);
  EXPECT_EQ(n20 + 1, 304);
  EXPECT_EQ(n30 + 1, 400);
}

}  // namespace
