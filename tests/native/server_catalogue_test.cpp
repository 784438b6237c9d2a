// Catalogue checks: every fault is reported with its tip and field, and the
// record limits apply to the texts after conversion to the clients' code page.
#include "server_test_support.h"
#include "time_value.h"

namespace {

using servertest::json;
using servertest::Tip;
const std::vector<uint8_t> kGif = {'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0, 0, 0, 0, ';'};

std::string Chinese(size_t count) {  // two bytes each in CP936
    std::string s;
    while (count-- > 0) s += "中";
    return s;
}

std::string With(const json& tips, uint32_t interval = 30) { return servertest::CatalogueJson(tips, interval).dump(); }
std::string One(const json& change) { return With(json::array({Tip(7, change)})); }
json Button(const json& change) {
    json button = {{"caption", "Go"}, {"action", "OPENURL"}, {"url", "http://x"}};
    button.merge_patch(change);
    return json::array({button});
}

TEST(ServerCatalogue, FaultsAreRefusedNamingTipAndField) {
    json same_stamp = json::array();
    for (uint32_t id = 1; id <= 101; ++id) same_stamp.push_back(Tip(id));
    const std::string url_1025 = "http://x/" + std::string(1016, 'a');
    const std::pair<json, std::string> tip_7_faults[] = {  // each a line "tip 7: ..."
        {{{"begin", nullptr}}, "begin: missing"},
        {{{"buttons", Button({{"caption", Chinese(11)}})}}, "buttons[0].caption: 22 bytes in CP936, at most 20"},
        {{{"begin", "2024-02-30"}}, "begin: \"2024-02-30\" is not a time"}, {{{"begin", 0}}, "begin: 0 lies outside"},
        {{{"end", "2038-01-20T00:00:00Z"}}, "end: \"2038-01-20T00:00:00Z\" lies outside"},
        {{{"end", "2023-12-31T23:59:59Z"}}, "end: lies before begin"},
        {{{"show_seconds", 1001}}, "show_seconds: 1001 is out of range"},
        {{{"style", 256}}, "style: 256 is out of range 0 to 255"},
        {{{"text", Chinese(51)}}, "text: 102 bytes in CP936, at most 100"},
        {{{"title", Chinese(21)}}, "title: 42 bytes in CP936, at most 40"}, {{{"link", url_1025}}, "link: 1025 bytes"},
        {{{"picture", url_1025}}, "picture: 1025 bytes"},
        {{{"text", "ok \xF0\x9F\x98\x80"}}, "text: character U+1F600 at byte 3 has no CP936 form"},
        {{{"text", std::string("a\0b", 3)}}, "text: contains a NUL character"},
        {{{"buttons", Button({{"url", url_1025}})}}, "buttons[0].url: 1025 bytes"},
        {{{"buttons", Button({{"action", "OPEN"}})}}, "buttons[0].action: \"OPEN\" is neither OPENURL nor DOWNLOAD"},
        {{{"buttons", Button({{"url", nullptr}})}}, "buttons[0].url: missing"},
        {{{"buttons", {Button({})[0], Button({})[0], Button({})[0], Button({})[0]}}}, "buttons: 4 buttons, at most 3"},
        {{{"show_frist", true}}, "show_frist: unknown field"}, {{{"show_first", 1}}, "show_first: must be true or false"},
        {{{"pids", json::array()}}, "pids: must be a non-empty list"},
        {{{"text", nullptr}}, "text: a tip needs a picture or a text"}, {{{"picture", "gone.gif"}}, "picture: no file "},
        {{{"picture", "../ok.gif"}}, "picture: \"../ok.gif\" is neither an http:// address nor a plain file name"},
        {{{"updated", "2024-05-02T00:00:00Z"}}, "updated: 2024-05-02T00:00:00Z lies in the future"},
    };
    struct Row {
        std::string text;
        std::vector<std::string> problems;  // a part of each line
        std::string encoding = "", public_url = "http://tips.example:8080";
    };
    std::vector<Row> rows = {
        {One({{"id", nullptr}}), {"tip #1: id: missing"}},  // without a usable id: its place in the list
        {One({{"id", 0}}), {"tip #1: id: 0 is out of range"}},
        {One({{"id", 4294967296ull}}), {"tip #1: id: 4294967296 is out of range"}},
        {One({{"id", "7"}}), {"tip #1: id: must be a whole number"}},
        {One({{"picture", "photo.png"}}), {"photo.png is not a GIF, JPEG or BMP"}},
        {With(same_stamp), {"101 tips"}},  // a client cut off inside them would get the same part for ever
        {With(json::array({Tip(1, {{"text", std::string(200, 'x')}}),
                           Tip(2, {{"end", "2020-01-01T00:00:00Z"}, {"style", -1}}), Tip(1), Tip(3)}),
              0),
         {"catalogue: panel_interval_minutes: 0 is out of range 1 to 720", "tip 1: text: 200 bytes", "tip 2: style:",
          "tip 2: end: lies before begin", "tip 1 (#3): id: used by an earlier tip"}},
        {"{\"panel_interval_minutes\": 30, \"tips\": [", {"not valid JSON"}}, {"[]", {"must be a JSON object"}},
        {"{\"panel_interval_minutes\": 30}", {"missing, or not a list"}},
        {With(json::array(), 721), {"out of range 1 to 720"}},
        {"{\"panel_interval_minutes\": 30, \"tips\": [], \"extra\": 1}", {"unknown field"}},
        {One({}), {"catalogue: unknown encoding NO-SUCH-CODEPAGE"}, "NO-SUCH-CODEPAGE"},
        {One({{"picture", "ok.gif"}}), {"is not http:// or https://"}, "", "tips.example:8080"},
    };
    for (const auto& [change, line] : tip_7_faults) rows.push_back({One(change), {"tip 7: " + line}});
    coretest::ScratchFolder folder;
    coretest::WriteBytes(folder.File("ok.gif"), kGif);
    coretest::WriteBytes(folder.File("photo.png"), {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'});
    for (const auto& row : rows) {
        tipserver::CatalogueOptions options;
        options.now = servertest::kNow;
        options.public_url = row.public_url;
        if (!row.encoding.empty()) options.encoding = row.encoding;
        const auto load = tipserver::ParseCatalogue(row.text, folder.Folder(), options);
        std::string lines;
        for (const auto& p : load.problems) lines += p.ToString() + "\n";
        EXPECT_TRUE(!load.catalogue && load.problems.size() == row.problems.size()) << lines;
        for (const auto& part : row.problems) EXPECT_NE(lines.find(part), std::string::npos) << part << " in\n" << lines;
    }
}

// Full fields, comments, and a picture shared by two tips: read once, served under the public address.
TEST(ServerCatalogue, AcceptedAtTheLimits) {
    coretest::ScratchFolder folder;
    coretest::WriteBytes(folder.File("new offer.gif"), kGif);
    json catalogue = servertest::CatalogueJson(json::array(
        {Tip(1, {{"text", Chinese(50)}, {"title", Chinese(20)}, {"picture", "new offer.gif"}, {"show_seconds", 1000},
                 {"link", "http://p/" + std::string(1015, 'a')}, {"_note", "spring campaign"},
                 {"buttons", Button({{"caption", Chinese(10)}, {"url", "http://d/" + std::string(1015, 'b')}})}}),
         Tip(2, {{"show_seconds", -1}, {"picture", "new offer.gif"}}),
         Tip(3, {{"picture", "http://p/" + std::string(1015, 'a')}})}));
    catalogue["_comment"] = "edited by ops";
    const auto loaded = servertest::MustLoad(catalogue, folder.Folder());
    ASSERT_TRUE(loaded && loaded->tips.size() == 3 && loaded->pictures.size() == 1);
    EXPECT_EQ(loaded->pictures.at("new offer.gif").content_type, "image/gif");
    EXPECT_EQ(loaded->FindById(2)->picture_url, "http://tips.example:8080/new%20offer.gif");
}

TEST(ServerCatalogue, IsoTimes) {
    for (const char* text : {"2024-05-01T00:00:00Z", "2024-05-01T08:00:00+08:00", "2024-04-30T19:00-05:00",
                             "2024-05-01T08:00:00+0800", "2024-05-01", "2024-05-01 00:00:00Z"})
        EXPECT_EQ(tipserver::ParseIsoTime(text), servertest::kNow) << text;
    const std::pair<const char*, int64_t> rows[] = {{"2024-02-29T12:00:00Z", 1709208000}, {"1970-01-01T00:00:01Z", 1},
        {"2038-01-19T03:14:07Z", 2147483647}, {"2023-02-29T00:00:00Z", -1}, {"2024-05-01T24:00:00Z", -1},
        {"2024-05-01T00:00:00", -1}, {"2024-05-01T00:00:00Zjunk", -1}, {"2024-5-1", -1}, {"", -1}};  // -1: refused
    for (const auto& [text, seconds] : rows) EXPECT_EQ(tipserver::ParseIsoTime(text).value_or(-1), seconds) << text;
    EXPECT_EQ(tipserver::FormatIsoTime(2147483647), "2038-01-19T03:14:07Z");
}

}  // namespace
