#include "store/picture_path.h"

namespace {

bool IsSeparator(char c) { return c == '/' || c == '\\'; }

// What ends a folder name in a path on this system.
bool IsBoundary(char c) {
#ifdef _WIN32
    return IsSeparator(c);
#else
    return c == '/';
#endif
}

bool SameChar(char a, char b) {
#ifdef _WIN32
    if (IsSeparator(a) && IsSeparator(b)) return true;
    if (a >= 'A' && a <= 'Z') a = char(a - 'A' + 'a');
    if (b >= 'A' && b <= 'Z') b = char(b - 'A' + 'a');
#endif
    return a == b;
}

bool EndsWithGif(std::string_view name) {
    const std::string_view suffix = ".gif";
    if (name.size() <= suffix.size()) return false;
    const std::string_view tail = name.substr(name.size() - suffix.size());
    for (size_t i = 0; i < suffix.size(); ++i) {
        if (!SameChar(tail[i], suffix[i])) return false;
    }
    return true;
}

bool IsPictureName(std::string_view name) {
    if (!EndsWithGif(name)) return false;
    for (char c : name) {
        if (IsSeparator(c) || c == ':' || c == '\0') return false;
    }
    return true;
}

}  // namespace

bool IsPictureInFolder(std::string_view folder, std::string_view path) {
    while (!folder.empty() && IsBoundary(folder.back())) folder.remove_suffix(1);
    if (folder.empty() || path.size() < folder.size() + 2) return false;
    for (size_t i = 0; i < folder.size(); ++i) {
        if (!SameChar(folder[i], path[i])) return false;
    }
    if (!IsBoundary(path[folder.size()])) return false;
    return IsPictureName(path.substr(folder.size() + 1));
}
