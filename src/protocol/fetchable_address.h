// Which picture addresses from the server the library fetches.
#pragma once

#include <string_view>

// True for an http or https address (scheme in any letter case) with
// something after "//". Any other scheme (ftp, file, a share, a local path)
// is never fetched: its tip shows without a picture.
bool IsFetchableAddress(std::string_view address);
