// The keep-single aggregate's serial form: reading any bytes, and writing
// then reading back every form.
#include <cstdint>
#include <vector>

#include "fuzzSupport.h"
#include "qovellaKeepSingle.h"

namespace ks = qv::keepSingle;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // the payload after the varlena header, exactly sized
    unsigned char* payload = new unsigned char[size ? size : 1];
    if (size) std::memcpy(payload, data, size);
    ks::SerialState s{};
    bool raised = qv::fuzz::runGuarded([&] { s = ks::readSerial(payload, size); });
    if (!raised) {
        QV_FUZZ_CHECK(s.form == ks::kFormDatum || s.form == ks::kFormBytes);
        if (s.form == ks::kFormBytes) {
            QV_FUZZ_CHECK(s.bytes == payload + ks::kSerialPrefix && s.n == size - ks::kSerialPrefix);
        } else {
            QV_FUZZ_CHECK(size == ks::kDatumPayload);
        }
        // a non-null value always comes in its type's form
        if (!s.isNull) QV_FUZZ_CHECK(s.form == ks::serialForm(s.type));

        // write what was read and read it again
        std::vector<unsigned char> out(ks::serialPayloadSize(s.type, s.n) + 1);
        if (ks::serialForm(s.type) == s.form) {
            if (s.form == ks::kFormDatum)
                ks::writeDatumForm(out.data(), s.isNull, s.type, s.datum);
            else
                ks::writeBytesForm(out.data(), s.isNull, s.type, s.bytes, s.n);
            out.resize(ks::serialPayloadSize(s.type, s.n));
            ks::SerialState t{};
            QV_FUZZ_CHECK(!qv::fuzz::raises([&] { t = ks::readSerial(out.data(), out.size()); }));
            QV_FUZZ_CHECK(t.form == s.form && t.isNull == s.isNull && t.type == s.type && t.n == s.n);
            if (s.form == ks::kFormDatum) QV_FUZZ_CHECK(t.datum == s.datum);
            else QV_FUZZ_CHECK(s.n == 0 || std::memcmp(t.bytes, s.bytes, s.n) == 0);
        }
    }
    delete[] payload;
    return 0;
}
