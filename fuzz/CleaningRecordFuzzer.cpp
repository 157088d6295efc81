// The stored cleaning records (defaults keys Binwell.lastCleaningRecord and
// Binwell.lastSlimCleaningRecord), shown in the panel after every start.

#include "FuzzCheck.h"

#include "CleaningRecord.h"

using namespace rubbly;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const auto record = CleaningRecord::fromJson(fuzz::bytes(data, size));
    if (!record)
        return 0;
    // Saved again and read back, it is the same record.
    const auto again = CleaningRecord::fromJson(record->toJson());
    FUZZ_CHECK(again.has_value());
    FUZZ_CHECK(*again == *record);
    return 0;
}
