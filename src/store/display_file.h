// messdisplay.dat: the display history, kept for the next run.
#pragma once

class CShowDataList;

// Offers every record of the file to the store's history, which drops the
// expired ones (and their pictures) and duplicates. A missing file, a version
// outside 10..50 or a count outside 1..99 loads nothing. Returns the number
// of records offered.
int LoadDisplayFile(const char* path, CShowDataList* store);

// Writes the history in ascending id order. At most 99 entries go in: first
// those that still hold a tip back (of a tip the store knows, then with an
// end time ahead), then the rest by latest end time, never-expiring ones
// counting as latest; a record of zeros goes last. With
// an empty history the file is removed. The old file stays whole until the
// new one replaces it. True when the file on disk now reflects the store.
bool SaveDisplayFile(const char* path, CShowDataList* store);
