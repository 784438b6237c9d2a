// The catalogue's checks, which tips a query gets and the budgets of one
// answer; the record limits apply to the texts in the clients' code page.
#include <nlohmann/json.hpp>

#include <set>

#include "answer.h"
#include "catalogue.h"
#include "catalogue_changes.h"
#include "core_test_support.h"
#include "time_value.h"

namespace {

using nlohmann::json;
constexpr int64_t kNow = 1714521600;  // 2024-05-01: inside the window of every tip made here

std::string Chinese(size_t count) { return count == 0 ? "" : "中" + Chinese(count - 1); }  // two bytes each in CP936

// `base` with the fields of `change`; a null there removes a field.
json Merged(json base, const json& change) {
    if (change.is_object()) base.merge_patch(change);
    return base;
}
// A tip valid from 2024 to 2030 with a short text.
json Tip(uint32_t id, const json& change = json::object()) {
    return Merged({{"id", id}, {"begin", "2024-01-01T00:00:00Z"}, {"end", "2030-01-01T00:00:00Z"}, {"text", "a tip"}},
                  change);
}
json Button(const json& change) {
    return json::array({Merged({{"caption", "Go"}, {"action", "OPENURL"}, {"url", "http://x"}}, change)});
}
std::string With(const json& tips, uint32_t interval = 30) {
    return json{{"panel_interval_minutes", interval}, {"tips", tips}}.dump();
}
// Each problem a test failure unless they are `expected`.
tipserver::CatalogueLoad Load(const std::string& text, const std::string& dir = ".", bool expected = false) {
    tipserver::CatalogueOptions options;
    options.public_url = "http://tips.example:8080";
    options.now = kNow;
    tipserver::CatalogueLoad load = tipserver::ParseCatalogue(text, dir, options);
    for (const auto& p : load.problems) EXPECT_TRUE(expected) << p.ToString();
    return load;
}
uint32_t At(const char* iso) { return uint32_t(*tipserver::ParseIsoTime(iso)); }

// Tip 7 at the limits, a picture shared by two tips, times in each form; then each fault in tip 7 alone.
TEST(ServerCatalogue, AcceptedAtTheLimitsAndEachFaultRefusedNamingTipAndField) {
    coretest::ScratchFolder folder;
    coretest::WriteBytes(folder.File("new offer.gif"), {'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0, 0, 0, 0, ';'});
    coretest::WriteBytes(folder.File("photo.png"), {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'});
    const std::string url_1024 = "http://x/" + std::string(1015, 'a'), url_1025 = url_1024 + "a";
    const json tip_7 = Tip(7, {{"text", Chinese(50)},
                               {"title", Chinese(20)},
                               {"show_seconds", 1000},
                               {"link", url_1024},
                               {"_note", "spring campaign"},
                               {"begin", "2024-05-01T08:00:00+08:00"},
                               {"buttons", Button({{"caption", Chinese(10)}, {"url", url_1024}})}});
    const auto one = [&](const json& change) {
        return json{{"_comment", "edited by ops"},
                    {"panel_interval_minutes", 30},
                    {"tips",
                     {Merged(tip_7, change), Tip(2, {{"show_seconds", -1}, {"picture", "new offer.gif"}}),
                      Tip(3, {{"picture", "new offer.gif"}, {"begin", "2024-04-30T19:00-05:00"}}),
                      Tip(4, {{"picture", url_1024}, {"begin", "2024-05-01T08:00:00+0800"}}),
                      Tip(5, {{"begin", "2024-05-01 00:00:00Z"}, {"end", "2038-01-19T03:14:07Z"}})}}}
            .dump();
    };
    const auto loaded = Load(one(json::object()), folder.Folder()).catalogue;
    ASSERT_TRUE(loaded);
    EXPECT_EQ(loaded->tips.size(), 5u);
    ASSERT_EQ(loaded->pictures.size(), 1u);
    for (uint32_t id : {3, 4, 5, 7}) EXPECT_EQ(loaded->FindById(id)->begin, kNow) << id;
    EXPECT_EQ(loaded->FindById(5)->end, 2147483647);
    EXPECT_EQ(loaded->pictures.at("new offer.gif").content_type, "image/gif");
    EXPECT_EQ(loaded->FindById(2)->picture_url, "http://tips.example:8080/new%20offer.gif");

    json same_stamp = json::array();
    for (uint32_t id = 1; id <= 101; ++id) same_stamp.push_back(Tip(id));
    const struct {
        const char* field;
        json value;
        const char* says;  // the rest of the problem's line
    } tip_7_faults[] = {
        {"begin", nullptr, ": missing"},
        {"begin", 0, ": 0 lies outside"},
        {"end", "2023-12-31", ": lies before begin"},
        {"end", "2038-01-20T00:00:00Z", ": \"2038-01-20T00:00:00Z\" lies outside"},
        {"show_seconds", 1001, ": 1001 is out of range"},
        {"style", 256, ": 256 is out of range 0 to 255"},
        {"text", Chinese(51), ": 102 bytes in CP936, at most 100"},
        {"link", url_1025, ": 1025 bytes"},
        {"title", Chinese(21), ": 42 bytes in CP936, at most 40"},
        {"picture", url_1025, ": 1025 bytes"},
        {"text", "ok \xF0\x9F\x98\x80", ": character U+1F600 at byte 3 has no CP936 form"},
        {"text", std::string("a\0b", 3), ": contains a NUL character"},
        {"text", nullptr, ": a tip needs a picture or a text"},
        {"buttons", json(4, Button({})[0]), ": 4 buttons, at most 3"},
        {"buttons", Button({{"caption", Chinese(11)}}), "[0].caption: 22 bytes in CP936, at most 20"},
        {"buttons", Button({{"url", url_1025}}), "[0].url: 1025 bytes"},
        {"buttons", Button({{"url", nullptr}}), "[0].url: missing"},
        {"buttons", Button({{"action", "OPEN"}}), "[0].action: \"OPEN\" is neither OPENURL nor DOWNLOAD"},
        {"show_frist", true, ": unknown field"},
        {"show_first", 1, ": must be true or false"},
        {"pids", json::array(), ": must be a non-empty list"},
        {"picture", "gone.gif", ": no file "},
        {"picture", "../ok.gif", ": \"../ok.gif\" is neither an http:// address nor a plain file name"},
        {"updated", "2024-05-02T00:00:00Z", ": 2024-05-02T00:00:00Z lies in the future"},
        {"text", "好", ": clients show nothing of this tip: its text is 2 bytes in CP936"},
        {"style", 25, ": clients show nothing of this tip: style 25 shows the picture alone, and it has none"},
        {"link", "javascript:alert(1)", ": \"javascript:alert(1)\" is not an http:// or https:// address"},
        {"link", "QUILLONBUTTON:RUN:x", ": \"QUILLONBUTTON:RUN:x\": clients run no QUILLONBUTTON: command but"},
        {"link", "QUILLONBUTTON:DOWNLOAD:x.zip", ": \"x.zip\" is not an http://, https:// or ftp:// address"},
        {"buttons", Button({{"url", "ftp://x/a"}}), "[0].url: \"ftp://x/a\" is not an http:// or https://"},
        {"buttons", Button({{"action", "DOWNLOAD"}, {"url", "x/a.zip"}}), "[0].url: \"x/a.zip\" is not an http://"},
    };
    struct Refusal {
        std::string catalogue;
        std::vector<std::string> problems;  // a part of each line
    };
    std::vector<Refusal> rows = {
        {one({{"id", 0}}), {"tip #1: id: 0 is out of range"}},  // without a usable id: its place in the list
        {one({{"id", 4294967296ull}}), {"tip #1: id: 4294967296 is out of range"}},
        {one({{"id", "7"}}), {"tip #1: id: must be a whole number"}},
        {one({{"picture", "photo.png"}}), {"photo.png is not a GIF, JPEG or BMP"}},
        {With(same_stamp), {"101 tips"}},  // a client cut off inside them would get the same part for ever
        {With(json::array({Tip(1), Tip(2, {{"style", -1}}), Tip(1)}), 0),
         {"catalogue: panel_interval_minutes: 0 is out of range 1 to 720", "tip 2: style: -1",
          "tip 1 (#3): id: used by an earlier tip"}},
        {"{\"panel_interval_minutes\": 30, \"tips\": [", {"not valid JSON"}},
        {"[]", {"must be a JSON object"}},
        {one({{"style", 12}, {"text", nullptr}, {"picture", "new offer.gif"}}),
         {"tip 7: style: clients show nothing of this tip: style 12 hides the picture"}},
        {one({{"x\ny", 1}, {"id", "7"}, {"text", Chinese(51)}}),  // every problem of a tip at once, in file order
         {"tip #1: id: must be a whole number", "tip #1: x\\x0Ay: unknown field", "tip #1: text: 102 bytes"}},
        {one({{"picture", "new\nline.gif"}}), {"new\\x0Aline.gif"}},  // escaped: no line can be forged
        {"{\"panel_interval_minutes\": 30}", {"missing, or not a list"}},
        {With(json::array(), 721), {"out of range 1 to 720"}},
    };
    for (const std::string time : {"2024-02-30", "2023-02-29T00:00:00Z", "2024-05-01T24:00:00Z", "2024-05-01T00:00:00",
                                   "2024-05-01T00:00:00Zjunk", "2024-5-1", ""})
        rows.push_back({one({{"begin", time}}), {"tip 7: begin: \"" + time + "\" is not a time"}});
    for (const auto& f : tip_7_faults)
        rows.push_back({one({{f.field, f.value}}), {std::string("tip 7: ") + f.field + f.says}});
    for (const auto& row : rows) {
        const auto load = Load(row.catalogue, folder.Folder(), true);
        std::string lines;
        for (const auto& p : load.problems) lines += p.ToString() + "\n";
        EXPECT_FALSE(load.catalogue) << lines;
        EXPECT_EQ(load.problems.size(), row.problems.size()) << lines;
        size_t at = 0;  // in this order
        for (const auto& part : row.problems)
            EXPECT_NE(at = lines.find(part, at), std::string::npos) << part << " in " << lines;
    }
}

// What the panel cuts or never shows: a warning naming the tip and the element; the catalogue still loads.
TEST(ServerCatalogue, WarnsOfWhatThePanelCutsOrNeverShows) {
    coretest::ScratchFolder folder;
    coretest::WriteBytes(folder.File("big.gif"),
                         {'G', 'I', 'F', '8', '9', 'a', 1, 1, 133, 0, 0, 0, 0, ';'});  // 257 x 133
    coretest::WriteBytes(folder.File("cell.gif"), {'G', 'I', 'F', '8', '9', 'a', 100, 0, 133, 0, 0, 0, 0, ';'});
    const std::string lines_8 = "a[]a[]a[]a[]a[]a[]a[]a", word_20(20, 'w');
    struct Row {
        json tip_7;           // its fields over the plain tip
        std::string warning;  // the start of its one warning; empty for none
    };
    const Row rows[] = {
        {{{"buttons", Button({{"caption", "Download"}})}}, "tip 7: buttons[0].caption: 48 pixels wide"},
        {{{"buttons", Button({{"caption", "&Check"}})}}},  // the ampersand underlines and takes no room
        {{{"buttons", Button({{"caption", "好"}})}}, "tip 7: buttons[0].caption: 2 bytes in CP936: buttons show only"},
        {{{"text", "ab"}, {"picture", "cell.gif"}}, "tip 7: text: 2 bytes in CP936: a text shows from 3 bytes"},
        {{{"text", nullptr}, {"title", "Hi"}, {"picture", "cell.gif"}}, "tip 7: title: never shows"},
        {{{"text", lines_8}}},  // 8 lines and the gap: 102 of 110 pixels
        {{{"text", lines_8 + "[]a"}}, "tip 7: text: 0 title lines and 9 text lines of 220 pixels take 114 pixels"},
        {{{"text", lines_8}, {"title", "T"}}, "tip 7: text: 1 title line and 8 text lines"},
        {{{"text", word_20 + " " + word_20}, {"picture", "cell.gif"}}},  // 120 of 123 pixels a line
        {{{"text", word_20 + "w"}, {"picture", "cell.gif"}}, "tip 7: text: a word of 126 pixels is wider than"},
        {{{"text", Chinese(10) + "中"}, {"title", Chinese(11)}, {"picture", "cell.gif"}}},  // breaks between
        {{{"text", nullptr}, {"picture", "big.gif"}}, "tip 7: picture: 257 x 133 pixels, larger than its cell of 256"},
        {{{"picture", "big.gif"}}, "tip 7: picture: 257 x 133 pixels, larger than its cell of 100 x 133 beside"},
        {{{"style", 25}, {"picture", "cell.gif"}, {"text", nullptr}, {"buttons", Button({})}},
         "tip 7: style: style 25"},
        {{{"pids", {"pro"}}}, "tip 7: pids: \"pro\" differs from \"PRO\" (tip 2) only in letter case"},
    };
    for (const Row& row : rows) {
        const auto load = Load(With({Tip(2, {{"pids", {"PRO"}}}), Merged(Tip(7), row.tip_7)}), folder.Folder());
        std::string said;
        for (const auto& w : load.warnings) said += w.ToString() + "\n";
        EXPECT_TRUE(load.catalogue) << row.tip_7;
        EXPECT_EQ(load.warnings.size(), row.warning.empty() ? 0u : 1u) << row.tip_7 << "\n" << said;
        EXPECT_EQ(said.rfind(row.warning, 0), 0u) << row.tip_7 << "\n" << said;  // an empty warning: any text
    }
}

// New or changed tips whose stamp is not after the newest one clients may hold are named, with what to do.
TEST(ServerCatalogue, ComparedWithTheCatalogueInServiceNamesTipsOldClientsWillNeverGet) {
    const auto current =
        Load(With({Tip(1, {{"updated", "2024-03-01"}}), Tip(2), Tip(3), Tip(9, {{"begin", "2024-06-01"}})}))
            .catalogue;  // tip 9 has not come yet: its stamp is not one clients hold
    const auto next = Load(With({Tip(1, {{"updated", "2024-03-01"}}), Tip(2, {{"text", "a changed tip"}}),
                                 Tip(4, {{"updated", "2024-03-02"}}), Tip(5, {{"end", "2024-04-01"}}),  // expired
                                 Tip(6, {{"updated", "2024-03-01"}}), Tip(9, {{"begin", "2024-06-01"}})}))
                          .catalogue;
    const auto changes = tipserver::CompareCatalogues(*current, *next, kNow);
    std::vector<std::string> named;
    for (const auto& p : changes.unreachable) named.push_back(p.ToString());
    EXPECT_EQ(changes.Summary(), "3 added, 1 changed, 1 removed");
    EXPECT_EQ(named,
              (std::vector<std::string>{
                  "tip 2: updated: changed, but its stamp 2024-01-01T00:00:00Z is not after 2024-03-01T00:00:00Z, "
                  "the newest stamp clients may hold: only clients that have not asked since get it; give it "
                  "\"updated\": \"2024-05-01T00:00:00Z\"",
                  "tip 6: updated: new, but its stamp 2024-03-01T00:00:00Z is not after 2024-03-01T00:00:00Z, "
                  "the newest stamp clients may hold: only clients that have not asked since get it; give it "
                  "\"updated\": \"2024-05-01T00:00:00Z\""}));
}

// One catalogue for clients of several code pages: each tip encoded in each, what each finds named once.
TEST(ServerCatalogue, ServedInSeveralCodePages) {
    tipserver::CatalogueOptions options;
    options.now = kNow;
    options.more_encodings = {"CP1252"};
    const auto load = tipserver::ParseCatalogue(
        With(json::array({Tip(1, {{"text", "déjà vu"}, {"buttons", Button({{"caption", "éééééé"}})}})})), ".", options);
    ASSERT_TRUE(load.catalogue);
    const auto text_of = [&](size_t encoding) {
        const auto& wire = load.catalogue->InEncoding(encoding).tips.at(0).wire;
        return std::string(wire.begin(), wire.end()).find(encoding == 0 ? "d\xA8\xA6j\xA8\xA4 vu" : "d\xE9j\xE0 vu");
    };
    EXPECT_TRUE(text_of(0) != std::string::npos && text_of(1) != std::string::npos);
    std::vector<std::string> warned;
    for (const auto& w : load.warnings) warned.push_back(w.ToString());
    const std::string holds = " wide, a button holds 30 pixels (5 single-byte or 2 double-byte characters): cut";
    EXPECT_EQ(warned, (std::vector<std::string>{"tip 1: buttons[0].caption: 72 pixels" + holds,
                                                "tip 1: buttons[0].caption: 36 pixels" + holds + " (in CP1252)"}));
    const auto refused = tipserver::ParseCatalogue(With(json::array({Tip(1, {{"text", "中文"}})})), ".", options);
    ASSERT_EQ(refused.problems.size(), 1u);
    EXPECT_EQ(refused.problems[0].ToString(), "tip 1: text: character U+4E2D at byte 0 has no CP1252 form");
}

TEST(ServerAnswer, Selection) {
    const auto catalogue = Load(With({Tip(1, {{"updated", "2024-02-01"}}), Tip(2, {{"updated", "2024-03-01"}}), Tip(3),
                                      Tip(4, {{"updated", "2024-04-20"}, {"end", "2024-04-30"}}),  // closed before now
                                      Tip(5, {{"updated", "2024-01-15"}, {"begin", "2024-04-15"}}),
                                      Tip(6, {{"begin", "2024-06-01"}}),  // not yet open
                                      Tip(7, {{"updated", "2024-04-25"}, {"pids", {"PRO", "TEAM"}}}),
                                      Tip(8, {{"end", "2024-02-01"}, {"pids", {"PRO"}}})}))
                               .catalogue;
    const uint32_t kFeb = At("2024-02-01"), kMar = At("2024-03-01"), kApr15 = At("2024-04-15");
    const struct {
        tipserver::AnswerRequest request;  // pid, last time, message id
        std::vector<uint32_t> sent;
        uint32_t lastTime;  // handed back
    } rows[] = {
        // Newest first; a tip outside its window is neither sent nor counted.
        {.request = {"", 0, 0}, .sent = {5, 2, 1, 3}, .lastTime = kApr15},
        {.request = {"", kFeb, 0}, .sent = {5, 2}, .lastTime = kApr15},  // changed strictly after the value
        {.request = {"", kMar, 0}, .sent = {5}, .lastTime = kApr15},     // opened after the value: new
        {.request = {"PRO", 0, 0}, .sent = {7, 5, 2, 1, 3}, .lastTime = At("2024-04-25")},
        {.request = {"pro", 0, 0}, .sent = {5, 2, 1, 3}, .lastTime = kApr15},  // neither the tip nor its stamp
        // The tip the message id names, whatever else; the value stays.
        {.request = {"FREE", 4000000000u, 8}, .sent = {8}, .lastTime = 4000000000u},
        {.request = {"", 7, 99}, .sent = {}, .lastTime = 7},
    };
    for (const auto& row : rows) {
        const auto plan = tipserver::PlanAnswer(*catalogue, row.request, kNow);
        std::vector<uint32_t> sent;
        for (const auto* tip : plan.tips) sent.push_back(tip->id);
        EXPECT_EQ(sent, row.sent) << row.request.pid << " " << row.request.last_time;
        EXPECT_EQ(plan.last_time, row.lastTime) << row.request.pid << " " << row.request.last_time;
    }
}

// Full answers: 100 records, or no room for one more in 262144 bytes.
TEST(ServerAnswer, BudgetsCutAnswersAndEveryTipArrives) {
    const struct {
        uint32_t tips, sameStamp;  // of them, how many share one stamp
        uint32_t urlBytes;         // of each link, picture and button address
        int buttons = 0;
        int answers;
    } rows[] = {
        {.tips = 250, .sameStamp = 1, .urlBytes = 10, .answers = 3},
        {.tips = 90, .sameStamp = 1, .urlBytes = 1000, .answers = 1},
        {.tips = 150, .sameStamp = 1, .urlBytes = 1000, .buttons = 3, .answers = 3},  // cut by bytes, not by count
        {.tips = 240, .sameStamp = 30, .urlBytes = 10, .answers = 3},
        {.tips = 240, .sameStamp = 99, .urlBytes = 10, .answers = 3},
        {.tips = 240, .sameStamp = 100, .urlBytes = 10, .answers = 3},
    };
    for (const auto& row : rows) {
        json tips = json::array();
        const std::string url = "http://x/" + std::string(row.urlBytes, 'u');
        for (uint32_t id = 1; id <= row.tips; ++id)
            tips.push_back(Tip(id, {{"updated", kNow - id / row.sameStamp},
                                    {"picture", url},
                                    {"link", url},
                                    {"buttons", json(row.buttons, Button({{"url", url}})[0])}}));
        const auto catalogue = Load(With(tips)).catalogue;
        std::set<uint32_t> received;
        int answers = 0;
        for (tipserver::AnswerPlan plan; answers < 20; ++answers) {
            plan = tipserver::PlanAnswer(*catalogue, {"", plan.last_time, 0}, kNow);
            if (plan.tips.empty()) break;
            std::vector<uint8_t> packet;
            tipserver::EncodeAnswer(*catalogue, plan, 1, packet);
            EXPECT_LE(plan.tips.size(), 100u);
            EXPECT_LE(packet.size(), 262144u);
            if (plan.left_out > 0) {
                EXPECT_TRUE(plan.tips.size() == 100 || packet.size() + plan.tips[0]->wire.size() > 262144);
                EXPECT_EQ(plan.last_time, catalogue->FindById(plan.first_left_out)->stamp - 1);  // next brings it
            }
            for (const auto* tip : plan.tips) received.insert(tip->id);
        }
        EXPECT_EQ(received.size(), row.tips) << row.tips << " tips, " << row.sameStamp << " a stamp";
        EXPECT_EQ(answers, row.answers) << row.tips << " tips, " << row.sameStamp << " a stamp";
    }
}

}  // namespace
