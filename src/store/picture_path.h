// Which picture paths the store may delete. A path read from a data file is
// not trusted: only a picture name directly inside the tips folder passes,
// never the data files beside the pictures.
#pragma once

#include <string_view>

// True when path is folder (with or without its trailing separator) followed
// by one file name ending in ".gif", as the picture download names them: no
// further separator, no drive or stream colon. Windows compares case-insensitively and takes
// '/' and '\' alike.
bool IsPictureInFolder(std::string_view folder, std::string_view path);
