// Which picture paths the store may delete. A path read from a data file is
// not trusted: only a plain file name directly inside the tips folder passes.
#pragma once

#include <string_view>

// True when path is folder (with or without its trailing separator) followed
// by one file name: no further separator, no drive or stream colon, not a
// name of dots and blanks only. Windows compares case-insensitively and takes
// '/' and '\' alike.
bool IsPictureInFolder(std::string_view folder, std::string_view path);
