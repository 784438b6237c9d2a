// Pictures named in the catalogue by file name: where they are looked up,
// which formats clients can show, and the address they are served under.
#pragma once

#include <string>

#include "catalogue.h"

namespace tipserver {

// Larger pictures are refused: clients fetch them on every new tip.
constexpr size_t kMaxPictureBytes = 4 * 1024 * 1024;

// What tells one version of a file from another (inode, size, change
// time); the same text for every missing file.
std::string FileStamp(const std::string& path);

// True for a picture given as an address rather than a file name.
bool IsPictureAddress(const std::string& picture);

enum class PictureLoad { kLoaded, kRefused, kUnreadable };

// Reads `dir`/`name` and checks that it is a GIF, JPEG or BMP picture, the
// formats clients load. On failure gives the reason in `error`; kUnreadable
// when reading failed (out of descriptors, say), which may pass.
PictureLoad LoadPictureFile(const std::string& dir, const std::string& name, ServedPicture& out, std::string& error);

// The address of a served picture: the public base, a slash, the file name
// with every byte outside the unreserved set percent-encoded.
std::string PictureUrl(const std::string& public_url, const std::string& name);

}  // namespace tipserver
