// The stored cleaning records (defaults keys Binwell.lastCleaningRecord and
// Binwell.lastSlimCleaningRecord), shown in the panel after every start.

#include "DefaultsFile.h"
#include "FuzzCheck.h"

#include "CleaningRecord.h"
#include "StoredRecords.h"

using namespace rubbly;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray input = fuzz::bytes(data, size);
    const auto record = CleaningRecord::fromJson(input);
    // Read from a defaults file as the panel reads it at start: the same record, or none.
    fuzz::DefaultsFile file(fuzz::DefaultsFile::holding(kLastCleaningRecordKey, input));
    FUZZ_CHECK(loadRecord(file.store(), kLastCleaningRecordKey) == record);
    if (!record)
        return 0;
    // Saved again and read back, it is the same record.
    const auto again = CleaningRecord::fromJson(record->toJson());
    FUZZ_CHECK(again.has_value());
    FUZZ_CHECK(*again == *record);
    return 0;
}
