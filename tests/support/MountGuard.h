#pragma once

#include <QByteArray>
#include <QList>
#include <QProcess>

#include <sched.h>
#include <sys/mount.h>

namespace rubbly::test {

// Mounts made for one test, detached in reverse order when the guard goes: bind mounts of a folder
// or a file (of the same file system too), small tmpfs volumes and loop-mounted ext4 images (a
// USB stick as the kernel sees it). Mounting needs root; each call
// returns false elsewhere, for the test to skip with a message.
class MountGuard final {
public:
    MountGuard() = default;
    ~MountGuard()
    {
        for (auto it = m_targets.crbegin(); it != m_targets.crend(); ++it)
            ::umount2(it->constData(), MNT_DETACH);
    }
    MountGuard(const MountGuard&) = delete;
    MountGuard& operator=(const MountGuard&) = delete;

    // Moves this process into a mount namespace of its own, so no other program sees the test's
    // mounts and a test that crashes leaves none behind. Only possible while the process has one
    // thread: call it from initTestCase(). False where it cannot be done (not root, or threads).
    static bool enterPrivateNamespace()
    {
        return ::unshare(CLONE_NEWNS) == 0 && ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
    }

    bool bind(const QByteArray& source, const QByteArray& target)
    {
        return added(::mount(source.constData(), target.constData(), nullptr, MS_BIND, nullptr), target);
    }
    bool tmpfs(const QByteArray& target, const QByteArray& size = "4m")
    {
        const QByteArray options = "size=" + size;
        return added(::mount("rubbly-test", target.constData(), "tmpfs", 0, options.constData()), target);
    }

    // Formats `image` (made, 16 MiB) as ext4 and mounts it on `target`; false where loop devices are
    // not available (some containers), for the test to skip.
    bool ext4(const QByteArray& image, const QByteArray& target)
    {
        const QString script =
            QStringLiteral(R"(truncate -s 16M "$0" && mkfs.ext4 -q -F "$0" && mount -o loop "$0" "$1")");
        const QStringList args{QStringLiteral("-c"), script, QString::fromLocal8Bit(image),
                               QString::fromLocal8Bit(target)};
        return added(QProcess::execute(QStringLiteral("sh"), args), target);
    }

private:
    bool added(int result, const QByteArray& target)
    {
        if (result == 0)
            m_targets.append(target);
        return result == 0;
    }
    QList<QByteArray> m_targets;
};

} // namespace rubbly::test
