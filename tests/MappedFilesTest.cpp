#include "MappedFiles.h"

#include <QTemporaryDir>
#include <QTest>

#include <sys/mman.h>

using namespace rubbly;
using namespace Qt::StringLiterals;

// Giving back the pages of mapped font files: a real file mapped as FreeType maps fonts.
class MappedFilesTest : public QObject {
    Q_OBJECT

    static constexpr qsizetype kSize = 2 * 1024 * 1024;

    // Maps `path` (kSize bytes of 'p') with `protection`, every page read in; `write` then changes
    // its first byte.
    static char* mapTouched(const QString& path, int protection, bool write = false)
    {
        QFile file(path);
        if (!file.open(QIODevice::ReadWrite) || file.write(QByteArray(kSize, 'p')) != kSize || !file.flush())
            return nullptr;
        void* mapped = mmap(nullptr, kSize, protection, MAP_PRIVATE | MAP_POPULATE, file.handle(), 0);
        if (mapped == MAP_FAILED)
            return nullptr;
        auto* bytes = static_cast<char*>(mapped);
        if (write)
            bytes[0] = 'w'; // a private copy now: never to be dropped
        return bytes;
    }

private Q_SLOTS:
    void recognisesFontsAndLibraries_data()
    {
        QTest::addColumn<QByteArray>("path");
        QTest::addColumn<bool>("font");
        QTest::addColumn<bool>("library");
        QTest::newRow("truetype, upper case") << "/usr/share/fonts/DejaVuSansMono.TTF"_ba << true << false;
        QTest::newRow("versioned library") << "/usr/lib/x86_64-linux-gnu/libQt6Gui.so.6.4.2"_ba << false << true;
        QTest::newRow("a library's name in a folder") << "/opt/libx.so.d/data.bin"_ba << false << false;
    }
    void recognisesFontsAndLibraries()
    {
        QFETCH(QByteArray, path);
        QFETCH(bool, font);
        QFETCH(bool, library);
        QCOMPARE(mappedfiles::isFontFile(path), font);
        QCOMPARE(mappedfiles::isSharedLibrary(path), library);
    }

    void dropsOnlyReadOnlyFileMappingsAndTheyReadTheSameAfter()
    {
        QTemporaryDir dir;
        const auto at = [&dir](const char* name) { return dir.filePath(QLatin1String(name)); };
        // As FreeType maps fonts; writable ones (as HarfBuzz maps them), one of them written to.
        char* readOnly = mapTouched(at("Font.ttf"), PROT_READ);
        char* writable = mapTouched(at("Unwritten.ttc"), PROT_READ | PROT_WRITE);
        char* privateCopy = mapTouched(at("Written.ttf"), PROT_READ | PROT_WRITE, true);
        // Written, then made read-only, as the loader does with a library's relocated constants.
        char* relro = mapTouched(at("libRelocated.so.1"), PROT_READ | PROT_WRITE, true);
        QVERIFY(readOnly && writable && privateCopy && relro && mprotect(relro, kSize, PROT_READ) == 0);
        const auto is = [&at](const char* file) {
            return [name = QFile::encodeName(at(file))](const QByteArray& path) { return path == name; };
        };
        const long dropped = mappedfiles::dropPages([folder = QFile::encodeName(dir.path())](const QByteArray& path) {
            return path.startsWith(folder) && (mappedfiles::isFontFile(path) || mappedfiles::isSharedLibrary(path));
        });
        QVERIFY(dropped >= kSize / 1024 - 8);
        QVERIFY(mappedfiles::residentKiB(is("Font.ttf")) < 64 && mappedfiles::residentKiB(is("Written.ttf")) > 0);

        // Read again from the file, unchanged; the written copy kept what was written.
        for (qsizetype i = 0; i < kSize; i += 4093)
            QVERIFY(readOnly[i] == 'p' && writable[i] == 'p');
        QVERIFY(privateCopy[0] == 'w' && relro[0] == 'w');
        for (char* mapped : {readOnly, writable, privateCopy, relro})
            munmap(mapped, kSize);
    }
};

QTEST_GUILESS_MAIN(MappedFilesTest)
#include "MappedFilesTest.moc"
