// The second loading step: converts each tip's texts into the clients' code
// page, checks them against the record's fields, reads the pictures and
// encodes every tip into the bytes it travels as.
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>

#include "answer_budget.h"
#include "catalogue.h"
#include "catalogue_document.h"
#include "picture_file.h"
#include "protocol/byte_order.h"
#include "protocol/tip_record.h"
#include "protocol/tip_wire.h"
#include "text_encoding.h"
#include "time_value.h"

namespace tipserver {
namespace {

class TipBuilder {
public:
    TipBuilder(const CatalogueOptions& options, const std::string& picture_dir, Catalogue& catalogue,
               std::vector<CatalogueProblem>& problems)
        : options_(options), picture_dir_(picture_dir), encoder_(options.encoding), catalogue_(catalogue),
          problems_(problems) {}

    bool EncodingKnown() const { return encoder_.IsValid(); }
    bool ReadFailed() const { return read_failed_; }

    // Builds one tip; false when any of its fields was refused.
    bool Build(const CatalogueEntry& entry, ServedTip& tip) {
        entry_ = &entry;
        ok_ = true;
        auto record = NewTipRecord();
        record->nMessageID = *entry.id;
        record->byStyle = entry.style;
        record->nShowSeconds = entry.show_seconds;
        record->tBeginTime = *entry.begin;
        record->tEndTime = *entry.end;
        record->byShowFirst = entry.show_first ? 1 : 0;
        record->byVersion = kTipRecordVersion;

        tip.picture_url = PictureAddress(entry.picture);
        Put(record->szPicture, tip.picture_url, "picture");
        Put(record->szText, Convert(entry.text, "text"), "text");
        Put(record->szLinkURL, Convert(entry.link, "link"), "link");
        Put(record->szTitle, Convert(entry.title, "title"), "title");
        record->nButtonCount = static_cast<int32_t>(entry.buttons.size());
        for (size_t i = 0; i < entry.buttons.size(); ++i) BuildButton(entry.buttons[i], i, record->aButtons[i]);
        // Clients drop a tip that has neither, without a word.
        if (entry.picture.empty() && entry.text.empty()) Fail("text", "a tip needs a picture or a text");
        if (entry.updated && *entry.updated > options_.now)
            Fail("updated", FormatIsoTime(*entry.updated) + " lies in the future");
        for (const std::string& pid : entry.pids) tip.pids.push_back(Convert(pid, "pids"));
        if (!ok_) return false;

        tip.id = *entry.id;
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
        problems_.push_back({entry_->Name(), field, message});
        ok_ = false;
    }

    std::string Convert(const std::string& utf8, const std::string& field) {
        std::string out, error;
        if (!encoder_.Convert(utf8, out, error)) Fail(field, error);
        return out;
    }

    // The limit is the field's width: a text that fills it travels without
    // a NUL, one byte more and the client refuses the whole answer.
    template <size_t N>
    void Put(char (&field)[N], const std::string& bytes, const std::string& name) {
        if (bytes.size() > N) {
            Fail(name, std::to_string(bytes.size()) + " bytes in " + encoder_.Name() + ", at most " +
                           std::to_string(N));
            return;
        }
        std::memset(field, 0, N);
        if (!bytes.empty()) std::memcpy(field, bytes.data(), bytes.size());
    }

    std::string PictureAddress(const std::string& picture) {
        if (picture.empty()) return {};
        if (IsPictureAddress(picture)) return Convert(picture, "picture");
        if (catalogue_.pictures.count(picture) == 0) {
            ServedPicture served;
            std::string error;
            const PictureLoad result = LoadPictureFile(picture_dir_, picture, served, error);
            if (result != PictureLoad::kLoaded) {
                read_failed_ = read_failed_ || result == PictureLoad::kUnreadable;
                Fail("picture", error);
                return {};
            }
            catalogue_.pictures.emplace(picture, std::move(served));
        }
        std::string url = PictureUrl(options_.public_url, picture);
        // Clients fetch pictures over http:// and https:// only.
        if (!IsPictureAddress(url)) Fail("picture", "address " + url + " is not http:// or https:// (check the public URL)");
        return url;
    }

    void BuildButton(const CatalogueButtonEntry& button, size_t i, TipButton& out) {
        const std::string name = "buttons[" + std::to_string(i) + "]";
        // Clients run only these two; any other button would do nothing.
        if (button.action != "OPENURL" && button.action != "DOWNLOAD")
            Fail(name + ".action", "\"" + button.action + "\" is neither OPENURL nor DOWNLOAD");
        if (button.url.empty()) Fail(name + ".url", "missing");
        Put(out.szCaption, Convert(button.caption, name + ".caption"), name + ".caption");
        Put(out.szAction, button.action, name + ".action");
        Put(out.szURL, Convert(button.url, name + ".url"), name + ".url");
    }

    const CatalogueOptions& options_;
    const std::string& picture_dir_;
    TextEncoder encoder_;
    Catalogue& catalogue_;
    bool read_failed_ = false;
    std::vector<CatalogueProblem>& problems_;
    const CatalogueEntry* entry_ = nullptr;
    bool ok_ = true;
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
                                    " and cannot fit one answer of " + std::to_string(budget.max_tips) +
                                    " tips and " + std::to_string(budget.max_bytes) +
                                    " bytes; give some of them a later updated time"});
        }
        first = last;
    }
}

}  // namespace

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
    auto catalogue = std::make_shared<Catalogue>();
    TipBuilder builder(options, picture_dir, *catalogue, load.problems);
    if (!builder.EncodingKnown()) {
        load.problems.push_back({"", "", "unknown encoding " + options.encoding});
        return load;
    }
    catalogue->panel_interval_minutes = document.panel_interval_minutes.value_or(0);
    for (const CatalogueEntry& entry : document.entries) {
        if (!entry.usable) continue;
        ServedTip tip;
        if (builder.Build(entry, tip)) catalogue->tips.push_back(std::move(tip));
    }
    std::sort(catalogue->tips.begin(), catalogue->tips.end(), ServedBefore);
    CheckStampGroups(catalogue->tips, load.problems);
    load.read_failed = builder.ReadFailed();
    if (!load.problems.empty()) return load;
    for (size_t i = 0; i < catalogue->tips.size(); ++i) catalogue->index_by_id[catalogue->tips[i].id] = i;
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
