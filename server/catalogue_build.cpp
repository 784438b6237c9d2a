// The second loading step: converts each tip's texts into the clients' code
// page, checks them against the record's fields, reads the pictures and
// encodes every tip into the bytes it travels as.
#include <strings.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>

#include "answer_budget.h"
#include "catalogue.h"
#include "catalogue_document.h"
#include "panel_fit.h"
#include "picture_file.h"
#include "protocol/byte_order.h"
#include "protocol/tip_record.h"
#include "protocol/tip_wire.h"
#include "text_encoding.h"
#include "time_value.h"

namespace tipserver {
namespace {

// Addresses a click hands to the browser, and to the host's download agent.
bool HasScheme(const std::string& address, std::initializer_list<const char*> schemes) {
    for (const char* scheme : schemes) {
        const size_t n = std::strlen(scheme);
        if (address.size() > n && strncasecmp(address.c_str(), scheme, n) == 0) return true;
    }
    return false;
}
constexpr char kLinkCommand[] = "QUILLONBUTTON:";
constexpr char kLinkDownload[] = "QUILLONBUTTON:DOWNLOAD:";

std::string Quoted(const std::string& text) {
    return "\"" + EscapeCatalogueText(text.size() > 60 ? text.substr(0, 57) + "..." : text) + "\"";
}

class TipBuilder {
  public:
    TipBuilder(const CatalogueOptions& options, const std::string& encoding, const std::string& picture_dir,
               std::map<std::string, ServedPicture>& pictures, CatalogueLoad& load)
        : options_(options), picture_dir_(picture_dir), encoder_(encoding), pictures_(pictures), load_(load) {}

    bool EncodingKnown() const { return encoder_.IsValid(); }

    // Builds one tip, and finds every problem of it even when the document
    // already refused a field; false when any field was refused.
    bool Build(const CatalogueEntry& entry, ServedTip& tip) {
        entry_ = &entry;
        ok_ = entry.usable;
        convert_failed_ = false;
        auto record = NewTipRecord();
        record->nMessageID = entry.id.value_or(0);
        record->byStyle = entry.style;
        record->nShowSeconds = entry.show_seconds;
        record->tBeginTime = entry.begin.value_or(0);
        record->tEndTime = entry.end.value_or(0);
        record->byShowFirst = entry.show_first ? 1 : 0;
        record->byVersion = kTipRecordVersion;

        PanelTip panel;
        panel.style = entry.style;
        tip.picture_url = PictureAddress(entry.picture, panel);
        panel.picture = !tip.picture_url.empty();
        Put(record->szPicture, tip.picture_url, "picture");
        Put(record->szText, Convert(entry.text, "text", &panel.text), "text");
        CheckLink(entry.link);
        Put(record->szLinkURL, Convert(entry.link, "link"), "link");
        Put(record->szTitle, Convert(entry.title, "title", &panel.title), "title");
        record->nButtonCount = static_cast<int32_t>(entry.buttons.size());
        panel.captions.resize(entry.buttons.size());
        for (size_t i = 0; i < entry.buttons.size(); ++i)
            BuildButton(entry.buttons[i], i, record->aButtons[i], panel.captions[i]);
        if (entry.updated && *entry.updated > options_.now) {
            Fail("updated", FormatIsoTime(*entry.updated) + " lies in the future");
            load_.may_pass_later = true;
        }
        for (const std::string& pid : entry.pids) tip.pids.push_back(Convert(pid, "pids"));
        if (convert_failed_) return false;  // only a tip whose texts all converted is measured
        for (const PanelFinding& finding : FitTipInPanel(panel, encoder_.Name())) {
            if (finding.refused)
                Fail(finding.field, finding.message);
            else
                load_.warnings.push_back({entry.Name(), finding.field, finding.message, entry.position});
        }
        if (!ok_) return false;

        tip.id = *entry.id;
        tip.position = entry.position;
        tip.begin = *entry.begin;
        tip.end = *entry.end;
        tip.stamp = std::max(entry.updated.value_or(*entry.begin), *entry.begin);
        tip.show_first = entry.show_first;
        tip.title = entry.title;
        tip.text = entry.text;
        tip.button_count = entry.buttons.size();
        ByteWriter out(tip.wire);
        if (!AppendTipRecordWire(out, *record) || !out.Ok()) Fail("", "cannot be encoded");
        return ok_;
    }

  private:
    void Fail(const std::string& field, const std::string& message) {
        load_.problems.push_back({entry_->Name(), field, message, entry_->position});
        ok_ = false;
    }

    // Converts into the code page; with `glyphs`, also says how wide each
    // character is there, for the panel's measures.
    std::string Convert(const std::string& utf8, const std::string& field, PanelText* glyphs = nullptr) {
        std::string out, error;
        if (!encoder_.Convert(utf8, out, error)) {
            Fail(field, error);
            convert_failed_ = true;
            return out;
        }
        if (glyphs == nullptr) return out;
        for (size_t i = 0; i < utf8.size();) {
            const unsigned char lead = static_cast<unsigned char>(utf8[i]);
            if (lead < 0x80) {
                glyphs->push_back({1, static_cast<char>(lead)});
                ++i;
                continue;
            }
            const size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
            std::string one;
            encoder_.Convert(utf8.substr(i, length), one, error);
            glyphs->push_back({static_cast<uint8_t>(std::max<size_t>(one.size(), 1)), 0});
            i += length;
        }
        return out;
    }

    // The limit is the field's width: a text that fills it travels without
    // a NUL, one byte more and the client refuses the whole answer.
    template <size_t N>
    void Put(char (&field)[N], const std::string& bytes, const std::string& name) {
        if (bytes.size() > N) {
            Fail(name,
                 std::to_string(bytes.size()) + " bytes in " + encoder_.Name() + ", at most " + std::to_string(N));
            return;
        }
        std::memset(field, 0, N);
        if (!bytes.empty()) std::memcpy(field, bytes.data(), bytes.size());
    }

    std::string PictureAddress(const std::string& picture, PanelTip& panel) {
        if (picture.empty()) return {};
        if (IsPictureAddress(picture)) return Convert(picture, "picture");
        auto it = pictures_.find(picture);
        if (it == pictures_.end()) {
            // Stamped before reading: a change from here on is a change the next look sees.
            load_.picture_stamps.emplace(picture, FileStamp(picture_dir_ + "/" + picture));
            ServedPicture served;
            std::string error;
            const PictureLoad result = LoadPictureFile(picture_dir_, picture, served, error);
            if (result != PictureLoad::kLoaded) {
                load_.read_failed = load_.read_failed || result == PictureLoad::kUnreadable;
                Fail("picture", error);
                return {};
            }
            it = pictures_.emplace(picture, std::move(served)).first;
        }
        panel.picture_width = it->second.width;
        panel.picture_height = it->second.height;
        std::string url = PictureUrl(options_.public_url, picture);
        // Clients fetch pictures over http:// and https:// only.
        if (!IsPictureAddress(url))
            Fail("picture", "address " + Quoted(url) + " is not http:// or https:// (check the public URL)");
        return url;
    }

    // A click on the picture or the text opens the link in the browser, or
    // hands a "QUILLONBUTTON:DOWNLOAD:" address to the download agent.
    void CheckLink(const std::string& link) {
        if (link.empty()) return;
        if (link.rfind(kLinkDownload, 0) == 0) {
            CheckAddress("link", link.substr(sizeof kLinkDownload - 1), "DOWNLOAD");
        } else if (link.rfind(kLinkCommand, 0) == 0) {
            Fail("link", Quoted(link) + ": clients run no " + kLinkCommand + " command but DOWNLOAD");
        } else {
            CheckAddress("link", link, "OPENURL");
        }
    }

    void CheckAddress(const std::string& field, const std::string& url, const std::string& action) {
        if (action == "OPENURL" && !HasScheme(url, {"http://", "https://"}))
            Fail(field, Quoted(url) + " is not an http:// or https:// address: clients cannot open it in the browser");
        if (action == "DOWNLOAD" && !HasScheme(url, {"http://", "https://", "ftp://"}))
            Fail(field, Quoted(url) +
                            " is not an http://, https:// or ftp:// address: the download agent cannot "
                            "fetch it");
    }

    void BuildButton(const CatalogueButtonEntry& button, size_t i, TipButton& out, PanelText& caption) {
        const std::string name = "buttons[" + std::to_string(i) + "]";
        // Clients run only these two; any other button would do nothing.
        if (button.action != "OPENURL" && button.action != "DOWNLOAD")
            Fail(name + ".action", Quoted(button.action) + " is neither OPENURL nor DOWNLOAD");
        if (button.url.empty())
            Fail(name + ".url", "missing");
        else
            CheckAddress(name + ".url", button.url, button.action);
        Put(out.szCaption, Convert(button.caption, name + ".caption", &caption), name + ".caption");
        Put(out.szAction, button.action, name + ".action");
        Put(out.szURL, Convert(button.url, name + ".url"), name + ".url");
    }

    const CatalogueOptions& options_;
    const std::string& picture_dir_;
    TextEncoder encoder_;
    std::map<std::string, ServedPicture>& pictures_;
    CatalogueLoad& load_;
    const CatalogueEntry* entry_ = nullptr;
    bool ok_ = true;
    bool convert_failed_ = false;
};

bool ServedBefore(const ServedTip& a, const ServedTip& b) {
    if (a.stamp != b.stamp) return a.stamp < b.stamp;
    if (a.show_first != b.show_first) return a.show_first;
    return a.id < b.id;
}

// An answer that is cut short hands out a last-time value just below the
// first tip left out, so tips sharing one stamp must fit one answer:
// otherwise every client would get the same first part again and again.
void CheckStampGroups(const std::vector<ServedTip>& tips, std::vector<CatalogueProblem>& problems) {
    const AnswerBudget budget;
    for (size_t first = 0; first < tips.size();) {
        size_t last = first;
        size_t bytes = kAnswerOverheadBytes;
        while (last < tips.size() && tips[last].stamp == tips[first].stamp) bytes += tips[last++].wire.size();
        const size_t count = last - first;
        if (count > budget.max_tips || bytes > budget.max_bytes) {
            problems.push_back({"tip " + std::to_string(tips[first].id), "updated",
                                std::to_string(count) + " tips (" + std::to_string(bytes) +
                                    " bytes) share the updated time " + FormatIsoTime(tips[first].stamp) +
                                    " and cannot fit one answer of " + std::to_string(budget.max_tips) + " tips and " +
                                    std::to_string(budget.max_bytes) + " bytes; give some of them a later updated time",
                                tips[first].position});
        }
        first = last;
    }
}

// Clients match their edition byte for byte: an edition that differs from
// another of the catalogue only in letter case is most likely a slip.
void CheckEditionCase(const CatalogueDocument& document, std::vector<CatalogueProblem>& warnings) {
    std::map<std::string, std::pair<std::string, std::string>> first_spelling;  // folded: spelling, tip
    for (const CatalogueEntry& entry : document.entries) {
        for (const std::string& pid : entry.pids) {
            std::string folded = pid;
            for (char& c : folded) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            const auto [it, added] = first_spelling.emplace(folded, std::make_pair(pid, entry.Name()));
            if (!added && it->second.first != pid)
                warnings.push_back({entry.Name(), "pids",
                                    Quoted(pid) + " differs from " + Quoted(it->second.first) + " (" +
                                        it->second.second +
                                        ") only in letter case; clients' editions match byte for byte",
                                    entry.position});
        }
    }
}

bool ByPosition(const CatalogueProblem& a, const CatalogueProblem& b) { return a.position < b.position; }

// The tips of the document in one code page; null when that code page is
// unknown. Pictures are read once, into `pictures`.
std::shared_ptr<Catalogue> BuildInEncoding(const CatalogueDocument& document, const CatalogueOptions& options,
                                           const std::string& encoding, const std::string& picture_dir,
                                           std::map<std::string, ServedPicture>& pictures, CatalogueLoad& load) {
    auto catalogue = std::make_shared<Catalogue>();
    TipBuilder builder(options, encoding, picture_dir, pictures, load);
    if (!builder.EncodingKnown()) {
        load.problems.push_back({"", "", "unknown encoding " + EscapeCatalogueText(encoding)});
        return nullptr;
    }
    catalogue->panel_interval_minutes = document.panel_interval_minutes.value_or(0);
    for (const CatalogueEntry& entry : document.entries) {
        if (options.abandon != nullptr && options.abandon->load(std::memory_order_relaxed)) {
            load.problems.push_back({"", "", "load abandoned: the server is stopping"});
            return nullptr;
        }
        if (!entry.readable) continue;
        ServedTip tip;
        if (builder.Build(entry, tip)) catalogue->tips.push_back(std::move(tip));
    }
    std::sort(catalogue->tips.begin(), catalogue->tips.end(), ServedBefore);
    CheckStampGroups(catalogue->tips, load.problems);
    for (size_t i = 0; i < catalogue->tips.size(); ++i) catalogue->index_by_id[catalogue->tips[i].id] = i;
    return catalogue;
}

// What a further code page finds beyond the first; a message that does not
// name its code page says which one it is about.
void AddNew(std::vector<CatalogueProblem>& to, const std::vector<CatalogueProblem>& from, const std::string& encoding) {
    for (const CatalogueProblem& found : from) {
        const auto same = [&](const CatalogueProblem& p) { return p.ToString() == found.ToString(); };
        if (std::any_of(to.begin(), to.end(), same)) continue;
        to.push_back(found);
        if (found.message.find(encoding) == std::string::npos) to.back().message += " (in " + encoding + ")";
    }
}

}  // namespace

std::string EscapeCatalogueText(const std::string& text) {
    std::string out;
    for (const char c : text) {
        const unsigned char b = static_cast<unsigned char>(c);
        if (b < 0x20 || b == 0x7F || c == '"' || c == '\\') {
            char escaped[5];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", b);
            out += escaped;
        } else {
            out += c;
        }
    }
    return out;
}

std::string CatalogueProblem::ToString() const {
    std::string line = tip.empty() ? "catalogue" : tip;
    if (!field.empty()) line += ": " + field;
    return line + ": " + message;
}

bool ServedTip::IsForPid(const std::string& pid) const {
    return pids.empty() || std::find(pids.begin(), pids.end(), pid) != pids.end();
}

const ServedTip* Catalogue::FindById(uint32_t id) const {
    const auto it = index_by_id.find(id);
    return it == index_by_id.end() ? nullptr : &tips[it->second];
}

CatalogueLoad ParseCatalogue(const std::string& json_text, const std::string& picture_dir,
                             const CatalogueOptions& options) {
    CatalogueLoad load;
    CatalogueDocument document = ReadCatalogueDocument(json_text, load.problems);
    std::map<std::string, ServedPicture> pictures;
    std::shared_ptr<Catalogue> catalogue =
        BuildInEncoding(document, options, options.encoding, picture_dir, pictures, load);
    for (const std::string& encoding : options.more_encodings) {
        CatalogueLoad more;
        std::shared_ptr<Catalogue> other = BuildInEncoding(document, options, encoding, picture_dir, pictures, more);
        AddNew(load.problems, more.problems, encoding);
        AddNew(load.warnings, more.warnings, encoding);
        load.read_failed = load.read_failed || more.read_failed;
        load.may_pass_later = load.may_pass_later || more.may_pass_later;
        if (catalogue && other) catalogue->in_more_encodings.push_back(std::move(other));
    }
    CheckEditionCase(document, load.warnings);
    std::stable_sort(load.problems.begin(), load.problems.end(), ByPosition);
    std::stable_sort(load.warnings.begin(), load.warnings.end(), ByPosition);
    if (!load.problems.empty() || !catalogue) return load;
    catalogue->pictures = std::move(pictures);
    load.catalogue = std::move(catalogue);
    return load;
}

std::string CatalogueFolder(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
}

CatalogueLoad LoadCatalogueFile(const std::string& path, const CatalogueOptions& options) {
    errno = 0;
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    if (in) text << in.rdbuf();
    if (!in) {
        CatalogueLoad load;
        load.problems.push_back({"", "", "cannot read " + path + ": " + std::strerror(errno)});
        load.read_failed = true;
        return load;
    }
    return ParseCatalogue(text.str(), CatalogueFolder(path), options);
}

}  // namespace tipserver
