// .trashinfo files: any program may write them, and a shared volume's trash may hold files made on
// another machine. Read as the trash scan reads them, in zones with and without daylight saving.

#include "FuzzCheck.h"

#include "PosixFd.h"
#include "ScratchFolder.h"
#include "TrashInfo.h"

#include <QFile>

#include <fcntl.h>

using namespace rubbly;

namespace {

const QList<QTimeZone>& zones()
{
    // UTC, a zone with daylight saving, one with a half-hour offset and one whose daylight saving
    // moves by half an hour: every kind of local time a DeletionDate can be written in.
    static const QList<QTimeZone> list{QTimeZone::utc(), QTimeZone("Europe/Berlin"), QTimeZone("Asia/Kolkata"),
                                       QTimeZone("Australia/Lord_Howe")};
    return list;
}

QString localText(Timestamp t, const QTimeZone& zone)
{
    return toDateTime(t).toTimeZone(zone).toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss"));
}

// Whether `t` can be written as a DeletionDate: the four-digit years of the format.
bool writable(Timestamp t, const QTimeZone& zone)
{
    const int year = toDateTime(t).toTimeZone(zone).date().year();
    return year >= 1 && year <= 9999;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray input = fuzz::bytes(data, size);
    const Timestamp someDate = fromDateTime(utcDateTime(QDate(2026, 3, 1), QTime(10, 0)));
    for (const QTimeZone& zone : zones()) {
        const TrashInfo info = TrashInfo::parse(input, zone);
        FUZZ_CHECK(!info.path || !info.path->isEmpty());
        const Timestamp date = info.deletionDate.value_or(someDate);
        if (!writable(date, zone))
            continue;
        const QByteArray written = TrashInfo::serialize(info.path.value_or("/x"), date, zone);
        const TrashInfo again = TrashInfo::parse(written, zone);
        // The path we read, written back as we write paths, reads as the same bytes.
        if (info.path)
            FUZZ_CHECK(again.path == info.path);
        // The date reads back to the second; in the hour a clock turns back, a local time names two
        // instants and the format cannot tell them apart, so there the local time must agree.
        FUZZ_CHECK(again.deletionDate.has_value());
        const Timestamp seconds = std::chrono::floor<std::chrono::seconds>(date);
        FUZZ_CHECK(*again.deletionDate == seconds || localText(*again.deletionDate, zone) == localText(seconds, zone));
    }
    // Read as the scan reads it: from the info folder's descriptor, through the reader of files that
    // others write, which gives what the parser gives, or nothing beyond the size limit.
    {
        fuzz::ScratchFolder info("trashinfo");
        QFile file(QFile::decodeName(info.path() + "/x.trashinfo"));
        FUZZ_CHECK(file.open(QIODevice::WriteOnly) && file.write(input) == input.size());
        file.close();
        PosixFd infoFd(::open(info.path().constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        const std::optional<TrashInfo> read = TrashInfo::read(infoFd.get(), "x.trashinfo", QTimeZone::utc());
        FUZZ_CHECK(read.has_value() == (input.size() <= TrashInfo::kMaxFileSize));
        if (read) {
            const TrashInfo parsed = TrashInfo::parse(input, QTimeZone::utc());
            FUZZ_CHECK(read->path == parsed.path && read->deletionDate == parsed.deletionDate);
        }
    }
    // Any bytes as the name of a trashed file: what we write for it reads as exactly those bytes.
    if (!input.isEmpty()) {
        const TrashInfo written =
            TrashInfo::parse(TrashInfo::serialize(input, someDate, QTimeZone::utc()), QTimeZone::utc());
        FUZZ_CHECK(written.path == input);
        FUZZ_CHECK(written.deletionDate == someDate);
    }
    return 0;
}
