// Version record values.
#include "qovellaPgVersion.h"

namespace TarvoxPgRangeOperators2_0 {

int Version::GetMajor() { return 3; }
int Version::GetMinor() { return 0; }
int Version::GetRelease() { return 3; }
int Version::GetRevision() { return 10627; }
int Version::GetYear() { return 2019; }
int Version::GetMonth() { return 6; }
const char* Version::GetDescStringMajorMinor() { return "3.0"; }
const char* Version::GetDescStringMajorMinorRelease() { return "3.0.3"; }
const char* Version::GetDescStringMajorMinorReleaseRevision() { return "3.0.3.10627"; }
const char* Version::GetDescStringMajorMinorReleaseRevisionDate() { return "3.0.3.10627 2019-6"; }

}  // namespace TarvoxPgRangeOperators2_0
