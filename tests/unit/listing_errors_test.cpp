#include "platform/listing_errors.h"

#include <gtest/gtest.h>

namespace tav {
namespace {

TEST(ListingErrors, TellNothingThereFromAFailedListing) {
  const struct {
    DWORD error;
    bool nothingFound;
  } cases[] = {
      {2, true},    // no such file
      {3, true},    // no such folder
      {18, true},   // no more files
      {15, true},   // no such drive
      {123, true},  // a name no file can have; also a path through a file, under Wine
      {267, true},  // a path through a file, on Windows
      {5, false},   // access denied
      {21, false},  // the drive is not ready
  };
  for (const auto& c : cases) {
    EXPECT_EQ(MeansNothingFound(c.error), c.nothingFound) << "error " << c.error;
  }
}

}  // namespace
}  // namespace tav
