#pragma once

#include <QByteArray>
#include <QFile>
#include <QList>

#include <sys/types.h>

namespace rubbly::test {

// Builds awkward file trees below a root, with paths as raw bytes so names that are not UTF-8 can be
// made. Every call fails the process loudly (qFatal) when the file system refuses, so a test never
// runs against a tree it did not get.
class TreeBuilder final {
public:
    explicit TreeBuilder(QByteArray root);

    const QByteArray& root() const { return m_root; }
    QByteArray path(const QByteArray& relative) const;

    TreeBuilder& dir(const QByteArray& relative, mode_t mode = 0755);
    // A file of `size` bytes of real (allocated) data; parents are created.
    TreeBuilder& file(const QByteArray& relative, qint64 size = 0, char fill = 'x');
    // A file holding `content`; parents are created.
    TreeBuilder& write(const QByteArray& relative, const QByteArray& content);
    // A file of `logicalSize` bytes with no data blocks.
    TreeBuilder& sparseFile(const QByteArray& relative, qint64 logicalSize);
    TreeBuilder& symlink(const QByteArray& relative, const QByteArray& target);
    // Something at `relative` that a reader of a small file must neither follow, block on nor read
    // whole, named by one of hostileFileKinds(): a FIFO, links to a real file and to /dev/zero, a
    // folder, a 100 MB sparse file.
    TreeBuilder& hostileFile(const QByteArray& relative, const QByteArray& kind);
    static QList<QByteArray> hostileFileKinds();
    TreeBuilder& hardLink(const QByteArray& relative, const QByteArray& existingRelative);
    TreeBuilder& chmod(const QByteArray& relative, mode_t mode);
    // Sets the modification time, in seconds (and nanoseconds) since the Unix epoch.
    TreeBuilder& touch(const QByteArray& relative, qint64 unixSeconds, long nanoseconds = 0);

    // Names that have broken file tools before: spaces, %, +, a newline, bytes that are not UTF-8,
    // a leading dash and a 250-byte name.
    static QList<QByteArray> awkwardNames();

    // Allocated bytes of one path (st_blocks × 512), without following a symlink.
    static qint64 allocatedSize(const QByteArray& path);
    // Sum of allocatedSize() over every non-directory below `path` (like du -s --apparent-size=no).
    static qint64 treeAllocatedSize(const QByteArray& path);
    // What `du -B1 -sx` says of `path`: allocated bytes of every inode below it, folders (itself too)
    // included, each inode once, links not followed, other devices not entered.
    static qint64 diskUsage(const QByteArray& path);
    static bool exists(const QByteArray& path);
    // The whole content of a file; empty when it cannot be read.
    static QByteArray read(const QByteArray& path);
    static QByteArray read(const QString& path) { return read(QFile::encodeName(path)); }
    // Gives the owner rwx on every folder below `path`, so the tree can be removed.
    static void makeWritable(const QByteArray& path);
    // Removes `path` and everything below it, whatever the names and modes; never follows a link.
    static void removeAll(const QByteArray& path);
    // Sets or clears the immutable attribute, which even root cannot unlink through; false where the
    // file system or our privileges do not allow it.
    static bool setImmutable(const QByteArray& path, bool on);

private:
    // Creates the parents of `relative` and returns its full path.
    QByteArray ensureParent(const QByteArray& relative);
    QByteArray m_root;
};

} // namespace rubbly::test
