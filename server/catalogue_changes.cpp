#include "catalogue_changes.h"

#include <algorithm>

#include "time_value.h"

namespace tipserver {

std::string CatalogueChanges::Summary() const {
    return std::to_string(added) + " added, " + std::to_string(changed) + " changed, " + std::to_string(removed) +
           " removed";
}

CatalogueChanges CompareCatalogues(const Catalogue& current, const Catalogue& next, int64_t now) {
    CatalogueChanges changes;
    // Clients hold the newest stamp of the tips valid when they asked: at
    // most the newest stamp of the catalogue in service that has come.
    int64_t newest = 0;
    for (const ServedTip& tip : current.tips)
        if (tip.stamp <= now) newest = std::max<int64_t>(newest, tip.stamp);
    for (const ServedTip& tip : next.tips) {
        const ServedTip* before = current.FindById(tip.id);
        if (before != nullptr && before->wire == tip.wire && before->pids == tip.pids && before->stamp == tip.stamp)
            continue;
        ++(before == nullptr ? changes.added : changes.changed);
        changes.new_or_changed.push_back(tip.position);
        if (tip.stamp > newest || tip.end < now) continue;
        changes.unreachable.push_back(
            {"tip " + std::to_string(tip.id), "updated",
             std::string(before == nullptr ? "new" : "changed") + ", but its stamp " + FormatIsoTime(tip.stamp) +
                 " is not after " + FormatIsoTime(newest) +
                 ", the newest stamp clients may hold: only clients that have not asked since get it; give it "
                 "\"updated\": \"" +
                 FormatIsoTime(now) + "\"",
             tip.position});
    }
    for (const ServedTip& tip : current.tips)
        if (next.FindById(tip.id) == nullptr) ++changes.removed;
    return changes;
}

}  // namespace tipserver
