// The reference scan service's quarantine records. Any fields written come back exactly, in a
// record of four lines whatever they hold; any text read is either refused or gives fields that
// go round again unchanged.
#include "../components/KXSVC/QuarantineRecord.h"

#include "FuzzCheck.h"

#include <algorithm>
#include <string>

namespace {

bool Same(const kxsvc::RecordFields& a, const kxsvc::RecordFields& b) {
    return a.path == b.path && a.virus == b.virus && a.time == b.time;
}

void CheckRoundTrip(const kxsvc::RecordFields& fields) {
    const std::string text = kxsvc::FormatRecord(fields);
    KX_FUZZ_CHECK(std::count(text.begin(), text.end(), '\n') == 4);
    KX_FUZZ_CHECK(text.back() == '\n');
    kxsvc::RecordFields back;
    KX_FUZZ_CHECK(kxsvc::ParseRecord(text, &back) == !fields.path.empty());
    KX_FUZZ_CHECK(fields.path.empty() || Same(back, fields));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The input read as a record.
    const std::string text(reinterpret_cast<const char*>(data), size);
    kxsvc::RecordFields read;
    if (kxsvc::ParseRecord(text, &read)) {
        KX_FUZZ_CHECK(!read.path.empty());
        CheckRoundTrip(read);
    }

    // The input cut into a path, a virus name and a time, written and read back.
    const size_t pathBytes = TakeSize(&data, &size, 512);
    unsigned long long time = 0;
    for (int i = 0; i < 4; ++i) time = time << 16 | TakeUnit(&data, &size);
    kxsvc::RecordFields fields;
    fields.time = time;
    fields.path.assign(reinterpret_cast<const char*>(data), std::min(pathBytes, size));
    fields.virus.assign(reinterpret_cast<const char*>(data) + fields.path.size(),
                        size - fields.path.size());
    CheckRoundTrip(fields);
    return 0;
}
