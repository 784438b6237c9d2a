// message.dat: the tips the store knows, kept for the next run.
#pragma once

class CShowDataList;

// Hands every record of the file to the store (by its bPicReady, to the slide
// or the picture queue). A missing file, a version other than 11 or a count
// outside 0..99 loads nothing. Returns the number of records handed over.
int LoadTipFile(const char* path, CShowDataList* store);

// Writes the store's tips that can still be shown, in ascending id order. At
// most 99 go in (those the sliding panel would get first), since the loader
// refuses more; with no tips known the file is removed. The old file stays whole until the new one replaces it. True
// when the file on disk now reflects the store.
bool SaveTipFile(const char* path, CShowDataList* store);
