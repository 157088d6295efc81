// The mount table (/proc/self/mountinfo, or the file RUBBLY_MOUNTINFO names). Its mount points decide
// which volumes' trash folders are listed, created and emptied.

#include "FuzzCheck.h"

#include "TrashLocations.h"

using namespace rubbly;

namespace {

// How the kernel writes a path into the table: space, tab, newline and backslash as \ooo.
QByteArray escaped(const QByteArray& path)
{
    QByteArray out;
    for (const char c : path) {
        if (c == ' ' || c == '\t' || c == '\n' || c == '\\') {
            const auto u = static_cast<unsigned char>(c);
            out += '\\';
            out += static_cast<char>('0' + (u >> 6));
            out += static_cast<char>('0' + ((u >> 3) & 7));
            out += static_cast<char>('0' + (u & 7));
        } else {
            out += c;
        }
    }
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray input = fuzz::bytes(data, size);
    const QList<MountEntry> mounts = TrashLocations::parseMountInfo(input);

    // Every entry, written back as the kernel writes a line (with an optional field), reads as itself.
    QByteArray table;
    for (const MountEntry& mount : mounts) {
        FUZZ_CHECK(!mount.fileSystemType.contains(' ') && !mount.fileSystemType.contains('\n'));
        table += "36 25 8:1 / " + escaped(mount.mountPoint) + (mount.readOnly ? " ro,relatime" : " rw,relatime") +
                 " shared:1 - " + mount.fileSystemType + " /dev/sda1 rw\n";
    }
    FUZZ_CHECK(TrashLocations::parseMountInfo(table) == mounts);

    // Decoding undoes the kernel's escaping of any bytes.
    FUZZ_CHECK(decodeMountInfoPath(escaped(input)) == input);
    return 0;
}
