// The click action on one action record, in plain values: the panel has
// already decided that the record runs and has sent itself away.
#pragma once

// "OPENURL" opens `url` in the browser and "DOWNLOAD" hands it to the
// download agent. Keywords are compared exactly; any other keyword, or a
// missing keyword or address, opens nothing.
void RunAction(const char* keyword, const char* url);
