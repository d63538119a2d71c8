// The library's version record: exported constants, not SQL-callable.
#pragma once

#define QV_EXPORT __attribute__((visibility("default")))

namespace TarvoxPgRangeOperators2_0 {

class QV_EXPORT Version {
public:
    static int GetMajor();
    static int GetMinor();
    static int GetRelease();
    static int GetRevision();
    static int GetYear();
    static int GetMonth();
    static const char* GetDescStringMajorMinor();
    static const char* GetDescStringMajorMinorRelease();
    static const char* GetDescStringMajorMinorReleaseRevision();
    static const char* GetDescStringMajorMinorReleaseRevisionDate();
};

}  // namespace TarvoxPgRangeOperators2_0
