#pragma once

#include "TrashStatus.h"

namespace rubbly::test {

// A Trash with an entry of every kind and more than five entries, largest first.
TrashStatus fullTrash();
// Entries that all occupy nothing (empty files, empty folders).
TrashStatus zeroByteTrash();

} // namespace rubbly::test
