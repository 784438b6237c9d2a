#include "picture_file.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

namespace tipserver {
namespace {

bool StartsWith(const std::string& s, const char* prefix) { return s.rfind(prefix, 0) == 0; }

// A plain name inside the folder: no path, nothing hidden.
bool IsPlainFileName(const std::string& name) {
    if (name.empty() || name[0] == '.') return false;
    return name.find_first_of("/\\") == std::string::npos;
}

const char* SniffContentType(const std::string& bytes) {
    if (StartsWith(bytes, "GIF87a") || StartsWith(bytes, "GIF89a")) return "image/gif";
    if (bytes.size() >= 3 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
        static_cast<unsigned char>(bytes[1]) == 0xD8 && static_cast<unsigned char>(bytes[2]) == 0xFF)
        return "image/jpeg";
    if (StartsWith(bytes, "BM")) return "image/bmp";
    return nullptr;
}

}  // namespace

bool IsPictureAddress(const std::string& picture) {
    return StartsWith(picture, "http://") || StartsWith(picture, "https://");
}

PictureLoad LoadPictureFile(const std::string& dir, const std::string& name, ServedPicture& out, std::string& error) {
    if (!IsPlainFileName(name)) {
        error = "\"" + name + "\" is neither an http:// address nor a plain file name in the catalogue's folder";
        return PictureLoad::kRefused;
    }
    const std::string path = dir + "/" + name;
    struct stat st;
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
        error = "no file " + path;
        return PictureLoad::kRefused;
    }
    if (static_cast<uint64_t>(st.st_size) > kMaxPictureBytes) {
        error = path + " is " + std::to_string(st.st_size) + " bytes, at most " + std::to_string(kMaxPictureBytes);
        return PictureLoad::kRefused;
    }
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    errno = 0;
    if (in) bytes << in.rdbuf();
    if (!in) {
        error = "cannot read " + path + ": " + std::strerror(errno);
        return PictureLoad::kUnreadable;
    }
    out.bytes = bytes.str();
    const char* type = SniffContentType(out.bytes);
    if (type == nullptr) {
        error = path + " is not a GIF, JPEG or BMP picture (clients show no other format)";
        return PictureLoad::kRefused;
    }
    out.content_type = type;
    return PictureLoad::kLoaded;
}

std::string PictureUrl(const std::string& public_url, const std::string& name) {
    std::string url = public_url;
    while (!url.empty() && url.back() == '/') url.pop_back();
    url += '/';
    for (const char c : name) {
        const unsigned char b = static_cast<unsigned char>(c);
        if ((b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z') || (b >= '0' && b <= '9') || c == '-' || c == '.' ||
            c == '_' || c == '~') {
            url += c;
        } else {
            char escaped[4];
            std::snprintf(escaped, sizeof escaped, "%%%02X", b);
            url += escaped;
        }
    }
    return url;
}

}  // namespace tipserver
