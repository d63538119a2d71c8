// Error reporting shared by the server-free core and the server glue.
//
// Every failure of the library goes through qv::raiseError: an SQLSTATE, the
// routine that detected the failure, and a fixed message (printf-style, with
// %i or %d arguments where the message carries numbers).  Inside the server
// it is an ereport(ERROR) that never returns; the unit tests and fuzz targets
// link their own definition.
#pragma once

namespace qv {

// SQLSTATEs used by the library, as five-character codes.
namespace sqlstate {
constexpr const char* noData = "02000";
constexpr const char* numericValueOutOfRange = "22003";
constexpr const char* intervalFieldOverflow = "22015";
constexpr const char* invalidParameterValue = "22023";
constexpr const char* invalidTextRepresentation = "22P02";
constexpr const char* invalidBinaryRepresentation = "22P03";
constexpr const char* datatypeMismatch = "42804";
constexpr const char* outOfMemory = "53200";
constexpr const char* indexCorrupted = "XX002";
}  // namespace sqlstate

// Raises an ERROR.  A null fmt raises it without a message text.
[[noreturn]] void raiseError(const char* sqlstate, const char* routine,
                             const char* file, int line, const char* fmt, ...)
    __attribute__((format(printf, 5, 6)));

}  // namespace qv

#define QV_ERROR(state, routine, ...) \
    ::qv::raiseError((state), (routine), __FILE__, __LINE__, __VA_ARGS__)
