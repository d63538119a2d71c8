// Writing and reading the serial form of keep-single states.
#include <cstring>

#include "qovellaError.h"
#include "qovellaKeepSingle.h"

namespace qv {
namespace keepSingle {

namespace {

constexpr const char* kReader = "fromBytea";

void writePrefix(unsigned char* payload, std::uint8_t form, bool isNull, std::uint32_t type) {
    payload[0] = form;
    payload[1] = isNull ? 1 : 0;
    std::memcpy(payload + 2, &type, sizeof(type));
}

}  // namespace

void writeDatumForm(unsigned char* payload, bool isNull, std::uint32_t type,
                    std::uint64_t datum) {
    writePrefix(payload, kFormDatum, isNull, type);
    std::memcpy(payload + kSerialPrefix, &datum, sizeof(datum));
}

void writeBytesForm(unsigned char* payload, bool isNull, std::uint32_t type,
                    const void* data, std::size_t n) {
    writePrefix(payload, kFormBytes, isNull, type);
    if (n) std::memcpy(payload + kSerialPrefix, data, n);
}

SerialState readSerial(const unsigned char* payload, std::size_t n) {
    if (n == 0) QV_ERROR(sqlstate::intervalFieldOverflow, kReader, "%s", kEmptySerial);
    SerialState s{payload[0], false, 0, 0, nullptr, 0};
    if (s.form == kFormDatum) {
        if (n != kDatumPayload)
            QV_ERROR(sqlstate::intervalFieldOverflow, kReader, "%s", kBadSerialSize);
        std::memcpy(&s.datum, payload + kSerialPrefix, sizeof(s.datum));
    } else if (s.form == kFormBytes) {
        if (n < kSerialPrefix)
            QV_ERROR(sqlstate::intervalFieldOverflow, kReader, "%s", kBadSerialSize);
        s.bytes = payload + kSerialPrefix;
        s.n = n - kSerialPrefix;
    } else {
        QV_ERROR(sqlstate::intervalFieldOverflow, kReader, "%s", kBadSerialForm);
    }
    s.isNull = payload[1] != 0;
    std::memcpy(&s.type, payload + 2, sizeof(s.type));
    // A kept value must come in the form of its type: a Datum read as a
    // pointer to a bytea or text value, or data bytes read as a Datum, would
    // be garbage.  A null carries no value, so its form does not matter.
    if (!s.isNull && s.form != serialForm(s.type))
        QV_ERROR(sqlstate::intervalFieldOverflow, kReader, "%s", kBadSerialForm);
    return s;
}

}  // namespace keepSingle
}  // namespace qv
