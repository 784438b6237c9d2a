// What a new catalogue changes against the one in service. A tip's stamp
// comes from the file alone (the later of its `updated` and its `begin`),
// so servers that load the same file hand out the same values; but a new or
// changed tip whose stamp is not after the newest stamp clients may already
// hold reaches only clients that have not asked since. Such tips are named
// here, with what to do about them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "catalogue.h"

namespace tipserver {

struct CatalogueChanges {
    size_t added = 0;
    size_t changed = 0;
    size_t removed = 0;
    std::vector<size_t> new_or_changed;  // their places in the new file
    // One per new or changed tip that clients which have asked will never get.
    std::vector<CatalogueProblem> unreachable;

    // "2 added, 1 changed, 0 removed"
    std::string Summary() const;
};

CatalogueChanges CompareCatalogues(const Catalogue& current, const Catalogue& next, int64_t now);

}  // namespace tipserver
