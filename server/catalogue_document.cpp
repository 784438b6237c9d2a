#include "catalogue_document.h"

#include <nlohmann/json.hpp>

#include <limits>
#include <set>

#include "time_value.h"

namespace tipserver {
namespace {

using nlohmann::json;

constexpr int64_t kInt32Max = std::numeric_limits<int32_t>::max();
constexpr int64_t kInt32Min = std::numeric_limits<int32_t>::min();

const std::set<std::string> kTipKeys = {"id",   "style", "show_seconds", "begin",      "end",     "updated", "picture",
                                        "text", "title", "link",         "show_first", "buttons", "pids"};
const std::set<std::string> kButtonKeys = {"caption", "action", "url"};

// Keys starting with an underscore are the operator's comments.
bool IsComment(const std::string& key) { return !key.empty() && key[0] == '_'; }

std::string Describe(const json& value) {
    std::string text = value.dump(-1, ' ', false, json::error_handler_t::replace);
    if (text.size() > 40) text = text.substr(0, 37) + "...";
    return text;
}

// Reads the fields of one JSON object, reporting against one tip.
class FieldReader {
  public:
    FieldReader(const json& object, CatalogueEntry& entry, std::vector<CatalogueProblem>& problems)
        : object_(object), entry_(entry), problems_(problems) {}

    void Fail(const std::string& field, const std::string& message) {
        problems_.push_back({entry_.Name(), field, message, entry_.position});
        entry_.usable = false;
    }

    const json* Find(const char* key) const {
        const auto it = object_.find(key);
        return it == object_.end() ? nullptr : &*it;
    }

    std::optional<int64_t> Integer(const char* key, int64_t min, int64_t max, bool required) {
        const json* value = Find(key);
        if (value == nullptr) {
            if (required) Fail(key, "missing");
            return std::nullopt;
        }
        if (!value->is_number_integer()) {
            Fail(key, "must be a whole number, not " + Describe(*value));
            return std::nullopt;
        }
        // Unsigned values above the signed range arrive as unsigned.
        const bool is_unsigned = value->is_number_unsigned();
        const uint64_t u = is_unsigned ? value->get<uint64_t>() : 0;
        const int64_t v =
            is_unsigned ? (u > static_cast<uint64_t>(max) ? max : static_cast<int64_t>(u)) : value->get<int64_t>();
        if ((is_unsigned && u > static_cast<uint64_t>(max)) || v < min || v > max) {
            Fail(key, Describe(*value) + " is out of range " + std::to_string(min) + " to " + std::to_string(max));
            return std::nullopt;
        }
        return v;
    }

    std::string Text(const char* key, const char* field_name) {
        const json* value = Find(key);
        if (value == nullptr) return {};
        if (!value->is_string()) {
            Fail(field_name, "must be a string, not " + Describe(*value));
            return {};
        }
        std::string text = value->get<std::string>();
        // A NUL would end the text early in the client's fixed buffers.
        if (text.find('\0') != std::string::npos) Fail(field_name, "contains a NUL character");
        return text;
    }

    std::optional<int32_t> Time(const char* key, bool required) {
        const json* value = Find(key);
        if (value == nullptr) {
            if (required) Fail(key, "missing");
            return std::nullopt;
        }
        std::optional<int64_t> seconds;
        if (value->is_number_integer()) {
            seconds = value->is_number_unsigned() && value->get<uint64_t>() > static_cast<uint64_t>(kInt32Max)
                          ? kInt32Max + 1
                          : value->get<int64_t>();
        } else if (value->is_string()) {
            seconds = ParseIsoTime(value->get<std::string>());
        }
        if (!seconds) {
            Fail(key,
                 Describe(*value) + " is not a time: use ISO 8601 with a zone (2024-05-01T08:00:00Z) or epoch seconds");
            return std::nullopt;
        }
        // Clients hold times as signed 32-bit seconds, and 0 marks a tip of
        // another kind, so the usable range is 1970-01-01T00:00:01Z to 2038.
        if (*seconds < 1 || *seconds > kInt32Max) {
            Fail(key, Describe(*value) + " lies outside 1970-01-01T00:00:01Z to " + FormatIsoTime(kInt32Max));
            return std::nullopt;
        }
        return static_cast<int32_t>(*seconds);
    }

    void UnknownKeys(const std::set<std::string>& known, const std::string& prefix) {
        for (auto it = object_.begin(); it != object_.end(); ++it) {
            if (known.count(it.key()) == 0 && !IsComment(it.key()))
                Fail(prefix + EscapeCatalogueText(it.key()), "unknown field");
        }
    }

  private:
    const json& object_;
    CatalogueEntry& entry_;
    std::vector<CatalogueProblem>& problems_;
};

void ReadButtons(FieldReader& tip, CatalogueEntry& entry, std::vector<CatalogueProblem>& problems) {
    const json* list = tip.Find("buttons");
    if (list == nullptr) return;
    if (!list->is_array()) {
        tip.Fail("buttons", "must be a list");
        return;
    }
    if (list->size() > 3) {
        tip.Fail("buttons", std::to_string(list->size()) + " buttons, at most 3");
        return;
    }
    for (size_t i = 0; i < list->size(); ++i) {
        const std::string name = "buttons[" + std::to_string(i) + "]";
        const json& item = (*list)[i];
        if (!item.is_object()) {
            tip.Fail(name, "must be an object with caption, action and url");
            continue;
        }
        FieldReader button(item, entry, problems);
        CatalogueButtonEntry b;
        b.caption = button.Text("caption", (name + ".caption").c_str());
        b.action = button.Text("action", (name + ".action").c_str());
        b.url = button.Text("url", (name + ".url").c_str());
        button.UnknownKeys(kButtonKeys, name + ".");
        entry.buttons.push_back(std::move(b));
    }
}

void ReadPids(FieldReader& tip, CatalogueEntry& entry) {
    const json* list = tip.Find("pids");
    if (list == nullptr) return;
    if (!list->is_array() || list->empty()) {
        tip.Fail("pids", "must be a non-empty list of client editions (leave it out for every edition)");
        return;
    }
    for (const json& pid : *list) {
        if (!pid.is_string()) {
            tip.Fail("pids", "must hold strings, not " + Describe(pid));
            return;
        }
        entry.pids.push_back(pid.get<std::string>());
    }
}

CatalogueEntry ReadEntry(const json& item, size_t position, std::vector<CatalogueProblem>& problems) {
    CatalogueEntry entry;
    entry.position = position;
    if (!item.is_object()) {
        problems.push_back({entry.Name(), "", "must be an object", position});
        entry.usable = entry.readable = false;
        return entry;
    }
    FieldReader tip(item, entry, problems);
    // Id 0 is how a query says "no particular tip", so no tip can have it.
    if (auto id = tip.Integer("id", 1, 0xFFFFFFFFLL, true)) entry.id = static_cast<uint32_t>(*id);
    if (auto style = tip.Integer("style", 0, 255, false)) entry.style = static_cast<uint8_t>(*style);
    // Clients refuse a tip shown longer than 1000 s; 0 or less keeps it up until closed.
    if (auto seconds = tip.Integer("show_seconds", kInt32Min, 1000, false))
        entry.show_seconds = static_cast<int32_t>(*seconds);
    entry.begin = tip.Time("begin", true);
    entry.end = tip.Time("end", true);
    entry.updated = tip.Time("updated", false);
    if (entry.begin && entry.end && *entry.begin > *entry.end) tip.Fail("end", "lies before begin");
    entry.picture = tip.Text("picture", "picture");
    entry.text = tip.Text("text", "text");
    entry.title = tip.Text("title", "title");
    entry.link = tip.Text("link", "link");
    if (const json* flag = tip.Find("show_first")) {
        if (flag->is_boolean())
            entry.show_first = flag->get<bool>();
        else
            tip.Fail("show_first", "must be true or false");
    }
    ReadButtons(tip, entry, problems);
    ReadPids(tip, entry);
    tip.UnknownKeys(kTipKeys, "");
    return entry;
}

}  // namespace

std::string CatalogueEntry::Name() const {
    return id ? "tip " + std::to_string(*id) : "tip #" + std::to_string(position);
}

CatalogueDocument ReadCatalogueDocument(const std::string& json_text, std::vector<CatalogueProblem>& problems) {
    CatalogueDocument document;
    json root;
    try {
        root = json::parse(json_text);
    } catch (const json::parse_error& e) {
        std::string what = e.what();
        const size_t end = what.find("] ");
        problems.push_back({"", "", "not valid JSON: " + (end == std::string::npos ? what : what.substr(end + 2))});
        return document;
    }
    if (!root.is_object()) {
        problems.push_back({"", "", "must be a JSON object with panel_interval_minutes and tips"});
        return document;
    }
    CatalogueEntry whole;  // reports catalogue-level faults without a tip name
    std::vector<CatalogueProblem> top_problems;
    FieldReader top(root, whole, top_problems);
    // Clients take an interval only from 1 to 720 minutes.
    if (auto minutes = top.Integer("panel_interval_minutes", 1, 720, true))
        document.panel_interval_minutes = static_cast<uint32_t>(*minutes);
    top.UnknownKeys({"panel_interval_minutes", "tips"}, "");
    for (auto& p : top_problems) p.tip.clear();
    problems.insert(problems.end(), top_problems.begin(), top_problems.end());

    const auto tips = root.find("tips");
    if (tips == root.end() || !tips->is_array()) {
        problems.push_back({"", "tips", "missing, or not a list"});
        return document;
    }
    std::set<uint32_t> seen;
    for (size_t i = 0; i < tips->size(); ++i) {
        CatalogueEntry entry = ReadEntry((*tips)[i], i + 1, problems);
        if (entry.id && !seen.insert(*entry.id).second) {
            problems.push_back(
                {entry.Name() + " (#" + std::to_string(i + 1) + ")", "id", "used by an earlier tip", i + 1});
            entry.usable = false;
        }
        document.entries.push_back(std::move(entry));
    }
    return document;
}

}  // namespace tipserver
