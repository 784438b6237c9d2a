// The tip catalogue as the server holds it: every tip already converted to
// the clients' code page, checked against the record's limits and encoded
// into its wire bytes, with the pictures it serves over HTTP.
#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace tipserver {

// One tip ready to send.
struct ServedTip {
    uint32_t id = 0;
    int32_t begin = 0;
    int32_t end = 0;
    // When the tip last changed for a client: the later of its `updated` and
    // its `begin`, so that a tip whose window opens later still counts as new.
    int32_t stamp = 0;
    bool show_first = false;
    // Client editions (PIDs, in the client code page) the tip is for; empty
    // means every edition.
    std::vector<std::string> pids;
    // The record exactly as it travels in an answer.
    std::vector<uint8_t> wire;
    // 1-based place in the file, so that messages follow the file's order.
    size_t position = 0;
    // For summaries: the picture address as sent, and the UTF-8 title/text.
    std::string picture_url;
    std::string title;
    std::string text;
    size_t button_count = 0;

    bool IsValidAt(int64_t now) const { return begin <= now && now <= end; }
    bool IsForPid(const std::string& pid) const;
};

// A picture the HTTP server answers with, read once when the catalogue loads.
struct ServedPicture {
    std::string content_type;
    std::string bytes;
    // For caches in front: its content hash and its file's time.
    std::string etag;
    int64_t modified = 0;
    // Its size in pixels, read from its header; 0 when the header says none.
    int width = 0;
    int height = 0;
};

struct Catalogue {
    uint32_t panel_interval_minutes = 0;
    // Sorted by stamp, then show_first before the rest, then id.
    std::vector<ServedTip> tips;
    std::unordered_map<uint32_t, size_t> index_by_id;
    // Keyed by file name, as requested under the public address.
    std::map<std::string, ServedPicture> pictures;

    const ServedTip* FindById(uint32_t id) const;

    // The same tips in each further code page the server answers in, in the
    // order of CatalogueOptions::more_encodings (their pictures are these).
    std::vector<std::shared_ptr<const Catalogue>> in_more_encodings;
    // 0: this one; i: the i-th further code page.
    const Catalogue& InEncoding(size_t index) const {
        return index == 0 || index > in_more_encodings.size() ? *this : *in_more_encodings[index - 1];
    }
};

// One thing wrong with a catalogue: which tip, which field, what is wrong.
struct CatalogueProblem {
    std::string tip;  // "tip 12", "tip #3" (by position when the id is unusable), or empty
    std::string field;
    std::string message;
    size_t position = 0;  // the tip's place in the file; 0 for the catalogue as a whole

    std::string ToString() const;
};

struct CatalogueOptions {
    std::string encoding = "CP936";
    // Further code pages whose clients the same catalogue serves: each tip is
    // checked and encoded in every one.
    std::vector<std::string> more_encodings;
    // Base address under which the HTTP server serves the pictures folder.
    std::string public_url = "http://127.0.0.1:8080";
    // The moment of loading: an `updated` after it is refused.
    int64_t now = 0;
    // When set, a load gives up between tips (the server is stopping).
    const std::atomic<bool>* abandon = nullptr;
};

struct CatalogueLoad {
    std::shared_ptr<const Catalogue> catalogue;  // null when there is any problem
    std::vector<CatalogueProblem> problems;      // in file order
    // What clients will show other than the catalogue says (a cut text, a
    // button that never shows); the catalogue still loads.
    std::vector<CatalogueProblem> warnings;
    // A file could not be read (rather than said something wrong): worth
    // trying again without a change.
    bool read_failed = false;
    // Refused for a reason that time may lift (an `updated` in the future):
    // worth trying again without a change.
    bool may_pass_later = false;
    // Every picture file the catalogue named, loaded or not, with its
    // `FileStamp` taken before it was read: what a reload must watch.
    std::map<std::string, std::string> picture_stamps;
};

// A catalogue string for a message: control bytes, quotes and backslashes
// as \xNN, so that no catalogue text can break or forge a line.
std::string EscapeCatalogueText(const std::string& text);

// Parses and checks catalogue JSON; pictures named by file are read from
// `picture_dir`.
CatalogueLoad ParseCatalogue(const std::string& json_text, const std::string& picture_dir,
                             const CatalogueOptions& options);

// The folder beside the catalogue file, which holds its pictures.
std::string CatalogueFolder(const std::string& path);

// Reads the file and parses it; the pictures folder is the file's folder.
CatalogueLoad LoadCatalogueFile(const std::string& path, const CatalogueOptions& options);

}  // namespace tipserver
