// The `directorysizes` file of a trash folder: other trash implementations write it too, and the
// sizes it holds are what the panel shows and the size rule of auto-clean acts on.

#include "FuzzCheck.h"

#include "DirectorySizes.h"

using namespace rubbly;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const DirectorySizes sizes = parseDirectorySizes(fuzz::bytes(data, size));
    for (auto it = sizes.cbegin(); it != sizes.cend(); ++it) {
        // A name the files/ folder could hold; a size that can be added up.
        FUZZ_CHECK(!it.key().isEmpty() && !it.key().contains('/'));
        FUZZ_CHECK(it->size >= 0);
    }
    // What we write back (the scan rewrites the file whenever an entry changes) reads as the same.
    const QByteArray written = serializeDirectorySizes(sizes);
    FUZZ_CHECK(written.count('\n') == sizes.size());
    FUZZ_CHECK(parseDirectorySizes(written) == sizes);
    return 0;
}
