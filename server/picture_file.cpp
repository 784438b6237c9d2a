#include "picture_file.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

#include "http_conditional.h"

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

unsigned Byte(const std::string& bytes, size_t at) {
    return at < bytes.size() ? static_cast<unsigned char>(bytes[at]) : 0;
}

// The picture's size in pixels from its header, or 0 x 0 when it says none.
void ReadSize(const std::string& bytes, const std::string& type, ServedPicture& out) {
    if (type == "image/gif") {
        out.width = static_cast<int>(Byte(bytes, 6) | Byte(bytes, 7) << 8);
        out.height = static_cast<int>(Byte(bytes, 8) | Byte(bytes, 9) << 8);
    } else if (type == "image/bmp" && bytes.size() >= 26) {
        const auto le32 = [&](size_t at) {
            return static_cast<int32_t>(Byte(bytes, at) | Byte(bytes, at + 1) << 8 | Byte(bytes, at + 2) << 16 |
                                        static_cast<uint32_t>(Byte(bytes, at + 3)) << 24);
        };
        const int64_t height = le32(22);  // negative for a top-down picture
        out.width = le32(18);
        out.height = static_cast<int>(height < 0 ? -height : height);
    } else if (type == "image/jpeg") {
        // The frame header (SOF0 to SOF15 but DHT, JPG and DAC) holds height, then width.
        for (size_t at = 2; at + 9 < bytes.size() && Byte(bytes, at) == 0xFF;) {
            const unsigned marker = Byte(bytes, at + 1);
            if (marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC) {
                out.height = static_cast<int>(Byte(bytes, at + 5) << 8 | Byte(bytes, at + 6));
                out.width = static_cast<int>(Byte(bytes, at + 7) << 8 | Byte(bytes, at + 8));
                return;
            }
            at += 2 + (Byte(bytes, at + 2) << 8 | Byte(bytes, at + 3));
        }
    }
    if (out.width < 0 || out.height < 0) out.width = out.height = 0;
}

}  // namespace

std::string FileStamp(const std::string& path) {
    struct stat st;
    if (::stat(path.c_str(), &st) != 0) return "-;";
    return std::to_string(st.st_ino) + ":" + std::to_string(st.st_size) + ":" + std::to_string(st.st_mtim.tv_sec) +
           "." + std::to_string(st.st_mtim.tv_nsec) + ";";
}

bool IsPictureAddress(const std::string& picture) {
    return StartsWith(picture, "http://") || StartsWith(picture, "https://");
}

PictureLoad LoadPictureFile(const std::string& dir, const std::string& name, ServedPicture& out, std::string& error) {
    if (!IsPlainFileName(name)) {
        error = "\"" + EscapeCatalogueText(name) +
                "\" is neither an http:// address nor a plain file name in the catalogue's folder";
        return PictureLoad::kRefused;
    }
    const std::string path = dir + "/" + EscapeCatalogueText(name);
    struct stat st;
    const std::string file = dir + "/" + name;
    if (::stat(file.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
        error = "no file " + path;
        return PictureLoad::kRefused;
    }
    if (static_cast<uint64_t>(st.st_size) > kMaxPictureBytes) {
        error = path + " is " + std::to_string(st.st_size) + " bytes, at most " + std::to_string(kMaxPictureBytes);
        return PictureLoad::kRefused;
    }
    std::ifstream in(file, std::ios::binary);
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
    ReadSize(out.bytes, out.content_type, out);
    out.etag = ContentTag(out.bytes);
    out.modified = static_cast<int64_t>(st.st_mtim.tv_sec);
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
