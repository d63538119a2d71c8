// The exported version record.
#include <string>

#include <gtest/gtest.h>

#include "qovellaPgVersion.h"

namespace {

using TarvoxPgRangeOperators2_0::Version;

TEST(Version, Values) {
    EXPECT_EQ(3, Version::GetMajor());
    EXPECT_EQ(0, Version::GetMinor());
    EXPECT_EQ(3, Version::GetRelease());
    EXPECT_EQ(10627, Version::GetRevision());
    EXPECT_EQ(2019, Version::GetYear());
    EXPECT_EQ(6, Version::GetMonth());
    EXPECT_EQ(std::string("3.0"), Version::GetDescStringMajorMinor());
    EXPECT_EQ(std::string("3.0.3"), Version::GetDescStringMajorMinorRelease());
    EXPECT_EQ(std::string("3.0.3.10627"), Version::GetDescStringMajorMinorReleaseRevision());
    EXPECT_EQ(std::string("3.0.3.10627 2019-6"),
              Version::GetDescStringMajorMinorReleaseRevisionDate());
}

}  // namespace
