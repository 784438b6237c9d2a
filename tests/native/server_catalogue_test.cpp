// Catalogue checks: every fault is reported with its tip and field, and the
// record limits apply to the texts after conversion to the clients' code page.
#include <functional>

#include "picture_file.h"
#include "server_test_support.h"
#include "time_value.h"

namespace {

using servertest::json;
using servertest::Load;
using servertest::Tip;

// "中" is two bytes in CP936.
std::string Chinese(size_t count) {
    std::string s;
    for (size_t i = 0; i < count; ++i) s += "中";
    return s;
}

struct TipFault {
    const char* name;
    std::function<void(json&)> change;
    const char* field;
    const char* message;  // a part of the expected message
};

class CatalogueFaults : public testing::TestWithParam<TipFault> {};

TEST_P(CatalogueFaults, RefusesTheCatalogueNamingTipAndField) {
    coretest::ScratchFolder folder;
    coretest::WriteBytes(folder.File("ok.gif"), servertest::GifBytes());
    coretest::WriteBytes(folder.File("photo.png"), {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'});
    json tip = Tip(7);
    GetParam().change(tip);
    const auto load = Load(servertest::CatalogueJson(json::array({tip})), folder.Folder());

    EXPECT_FALSE(load.catalogue);
    ASSERT_EQ(load.problems.size(), 1u);
    const auto& problem = load.problems[0];
    EXPECT_EQ(problem.field, GetParam().field);
    EXPECT_NE(problem.message.find(GetParam().message), std::string::npos) << problem.ToString();
    // Without a usable id a tip is named by its place in the list.
    EXPECT_EQ(problem.tip, std::string(GetParam().field) == "id" ? "tip #1" : "tip 7");
}

INSTANTIATE_TEST_SUITE_P(
    Server, CatalogueFaults,
    testing::Values(
        TipFault{"MissingId", [](json& t) { t.erase("id"); }, "id", "missing"},
        TipFault{"IdZero", [](json& t) { t["id"] = 0; }, "id", "out of range"},
        TipFault{"IdTooLarge", [](json& t) { t["id"] = 4294967296ull; }, "id", "out of range"},
        TipFault{"IdNotANumber", [](json& t) { t["id"] = "7"; }, "id", "whole number"},
        TipFault{"MissingBegin", [](json& t) { t.erase("begin"); }, "begin", "missing"},
        TipFault{"TimeWithoutZone", [](json& t) { t["begin"] = "2024-01-01T00:00:00"; }, "begin", "not a time"},
        TipFault{"TimeNotADate", [](json& t) { t["begin"] = "2024-02-30"; }, "begin", "not a time"},
        TipFault{"EpochZero", [](json& t) { t["begin"] = 0; }, "begin", "lies outside"},
        TipFault{"PastThe32BitClock", [](json& t) { t["end"] = "2038-01-20T00:00:00Z"; }, "end", "lies outside"},
        TipFault{"EndBeforeBegin", [](json& t) { t["end"] = "2023-12-31T23:59:59Z"; }, "end", "before begin"},
        TipFault{"ShownTooLong", [](json& t) { t["show_seconds"] = 1001; }, "show_seconds", "out of range"},
        TipFault{"StyleAboveAByte", [](json& t) { t["style"] = 256; }, "style", "out of range"},
        TipFault{"TextOneByteTooLong", [](json& t) { t["text"] = std::string(101, 'x'); }, "text",
                 "101 bytes in CP936, at most 100"},
        TipFault{"TextTooLongOnceConverted", [](json& t) { t["text"] = Chinese(51); }, "text",
                 "102 bytes in CP936, at most 100"},
        TipFault{"TitleTooLongOnceConverted", [](json& t) { t["title"] = Chinese(21); }, "title",
                 "42 bytes in CP936, at most 40"},
        TipFault{"LinkTooLong", [](json& t) { t["link"] = "http://x/" + std::string(1016, 'a'); }, "link",
                 "1025 bytes"},
        TipFault{"PictureAddressTooLong", [](json& t) { t["picture"] = "http://x/" + std::string(1016, 'a'); },
                 "picture", "1025 bytes"},
        TipFault{"CharacterOutsideTheCodePage", [](json& t) { t["text"] = "ok \xF0\x9F\x98\x80"; }, "text",
                 "U+1F600 at byte 3 has no CP936 form"},
        TipFault{"NulInText", [](json& t) { t["text"] = std::string("a\0b", 3); }, "text", "NUL"},
        TipFault{"CaptionTooLongOnceConverted",
                 [](json& t) { t["buttons"] = {{{"caption", Chinese(11)}, {"action", "OPENURL"}, {"url", "http://x"}}}; },
                 "buttons[0].caption", "22 bytes in CP936, at most 20"},
        TipFault{"UnknownAction",
                 [](json& t) { t["buttons"] = {{{"caption", "Go"}, {"action", "OPEN"}, {"url", "http://x"}}}; },
                 "buttons[0].action", "neither OPENURL nor DOWNLOAD"},
        TipFault{"ButtonWithoutAddress", [](json& t) { t["buttons"] = {{{"caption", "Go"}, {"action", "OPENURL"}}}; },
                 "buttons[0].url", "missing"},
        TipFault{"FourButtons",
                 [](json& t) {
                     const json b = {{"caption", "Go"}, {"action", "OPENURL"}, {"url", "http://x"}};
                     t["buttons"] = {b, b, b, b};
                 },
                 "buttons", "4 buttons, at most 3"},
        TipFault{"MisspelledField", [](json& t) { t["show_frist"] = true; }, "show_frist", "unknown field"},
        TipFault{"ShowFirstNotABoolean", [](json& t) { t["show_first"] = 1; }, "show_first", "true or false"},
        TipFault{"EmptyPidList", [](json& t) { t["pids"] = json::array(); }, "pids", "non-empty list"},
        TipFault{"NeitherPictureNorText", [](json& t) { t.erase("text"); }, "text", "picture or a text"},
        TipFault{"PictureFileMissing", [](json& t) { t["picture"] = "gone.gif"; }, "picture", "no file"},
        TipFault{"PictureOutsideTheFolder", [](json& t) { t["picture"] = "../ok.gif"; }, "picture",
                 "plain file name"},
        TipFault{"PictureClientsCannotShow", [](json& t) { t["picture"] = "photo.png"; }, "picture",
                 "not a GIF, JPEG or BMP"},
        TipFault{"UpdatedInTheFuture", [](json& t) { t["updated"] = "2024-05-02T00:00:00Z"; }, "updated",
                 "in the future"}),
    [](const testing::TestParamInfo<TipFault>& info) { return std::string(info.param.name); });

TEST(ServerCatalogue, FieldsThatFillTheirBufferExactlyAreAccepted) {
    coretest::ScratchFolder folder;
    json tip = Tip(1);
    tip["text"] = servertest::json(Chinese(50));  // 100 bytes
    tip["title"] = Chinese(20);                    // 40 bytes
    tip["picture"] = "http://p/" + std::string(1015, 'a');
    tip["show_seconds"] = 1000;
    tip["buttons"] = {{{"caption", Chinese(10)}, {"action", "DOWNLOAD"}, {"url", "http://d/" + std::string(1015, 'b')}}};
    json stays_up = Tip(2);
    stays_up["show_seconds"] = -1;  // stays until closed
    auto catalogue = servertest::MustLoad(servertest::CatalogueJson({tip, stays_up}), folder.Folder());
    ASSERT_TRUE(catalogue);
    EXPECT_EQ(catalogue->tips.size(), 2u);
}

TEST(ServerCatalogue, ReportsEveryProblemOfEveryTip) {
    json bad_text = Tip(1);
    bad_text["text"] = std::string(200, 'x');
    json bad_both = Tip(2);
    bad_both["end"] = "2020-01-01T00:00:00Z";
    bad_both["style"] = -1;
    json duplicate = Tip(1);
    const auto load = Load(servertest::CatalogueJson({bad_text, bad_both, duplicate, Tip(3)}, 0));
    EXPECT_FALSE(load.catalogue);
    std::vector<std::string> lines;
    for (const auto& p : load.problems) lines.push_back(p.ToString());
    EXPECT_EQ(lines.size(), 5u);
    const auto has = [&](const std::string& part) {
        for (const auto& l : lines)
            if (l.find(part) != std::string::npos) return true;
        return false;
    };
    EXPECT_TRUE(has("catalogue: panel_interval_minutes: 0 is out of range 1 to 720"));
    EXPECT_TRUE(has("tip 1: text: 200 bytes"));
    EXPECT_TRUE(has("tip 2: style:"));
    EXPECT_TRUE(has("tip 2: end: lies before begin"));
    EXPECT_TRUE(has("tip 1 (#3): id: used by an earlier tip"));
}

TEST(ServerCatalogue, RefusesWhatIsNotACatalogue) {
    const struct {
        std::string text;
        const char* message;
    } cases[] = {
        {"{\"panel_interval_minutes\": 30, \"tips\": [", "not valid JSON"},
        {"[]", "must be a JSON object"},
        {"{\"panel_interval_minutes\": 30}", "missing, or not a list"},
        {"{\"panel_interval_minutes\": 721, \"tips\": []}", "out of range 1 to 720"},
        {"{\"panel_interval_minutes\": 30, \"tips\": [], \"extra\": 1}", "unknown field"},
    };
    for (const auto& c : cases) {
        tipserver::CatalogueOptions options;
        const auto load = tipserver::ParseCatalogue(c.text, ".", options);
        EXPECT_FALSE(load.catalogue) << c.text;
        ASSERT_FALSE(load.problems.empty()) << c.text;
        EXPECT_NE(load.problems[0].ToString().find(c.message), std::string::npos) << load.problems[0].ToString();
    }
}

TEST(ServerCatalogue, UnknownEncodingIsRefused) {
    tipserver::CatalogueOptions options;
    options.encoding = "NO-SUCH-CODEPAGE";
    const auto load = tipserver::ParseCatalogue(servertest::CatalogueJson({Tip(1)}).dump(), ".", options);
    EXPECT_FALSE(load.catalogue);
    ASSERT_EQ(load.problems.size(), 1u);
    EXPECT_EQ(load.problems[0].message, "unknown encoding NO-SUCH-CODEPAGE");
}

TEST(ServerCatalogue, CommentKeysAreIgnored) {
    json tip = Tip(1);
    tip["_note"] = "spring campaign";
    json catalogue = servertest::CatalogueJson({tip});
    catalogue["_comment"] = "edited by ops";
    EXPECT_TRUE(servertest::MustLoad(catalogue));
}

TEST(ServerCatalogue, PicturesAreReadOnceAndServedUnderThePublicAddress) {
    coretest::ScratchFolder folder;
    coretest::WriteBytes(folder.File("new offer.gif"), servertest::GifBytes());
    json a = Tip(1), b = Tip(2);
    a["picture"] = b["picture"] = "new offer.gif";
    auto catalogue = servertest::MustLoad(servertest::CatalogueJson({a, b}), folder.Folder());
    ASSERT_TRUE(catalogue);
    ASSERT_EQ(catalogue->pictures.size(), 1u);
    const auto& picture = catalogue->pictures.at("new offer.gif");
    EXPECT_EQ(picture.content_type, "image/gif");
    EXPECT_EQ(picture.bytes.size(), servertest::GifBytes().size());
    EXPECT_EQ(catalogue->FindById(1)->picture_url, "http://tips.example:8080/new%20offer.gif");

    // Clients fetch over http:// and https:// only: any other public address is refused.
    tipserver::CatalogueOptions options;
    options.public_url = "tips.example:8080";
    const auto load = tipserver::ParseCatalogue(servertest::CatalogueJson({a}).dump(), folder.Folder(), options);
    ASSERT_EQ(load.problems.size(), 1u);
    EXPECT_NE(load.problems[0].message.find("is not http:// or https://"), std::string::npos);
}

// Tips sharing one stamp must fit one answer, or a client cut off inside
// them would be handed the same first part for ever.
TEST(ServerCatalogue, RefusesMoreTipsWithOneUpdatedTimeThanOneAnswerHolds) {
    json tips = json::array();
    for (uint32_t id = 1; id <= 101; ++id) tips.push_back(Tip(id));
    const auto load = Load(servertest::CatalogueJson(tips));
    EXPECT_FALSE(load.catalogue);
    ASSERT_EQ(load.problems.size(), 1u);
    EXPECT_NE(load.problems[0].message.find("101 tips"), std::string::npos) << load.problems[0].message;

    tips[100]["updated"] = "2024-02-01T00:00:00Z";
    EXPECT_TRUE(servertest::MustLoad(servertest::CatalogueJson(tips)));
}

TEST(ServerCatalogue, IsoTimes) {
    const struct {
        const char* text;
        int64_t seconds;  // -1: refused
    } cases[] = {
        {"2024-05-01T00:00:00Z", 1714521600},
        {"2024-05-01T08:00:00+08:00", 1714521600},
        {"2024-04-30T19:00-05:00", 1714521600},
        {"2024-05-01T08:00:00+0800", 1714521600},
        {"2024-05-01", 1714521600},
        {"2024-05-01 00:00:00Z", 1714521600},
        {"2024-02-29T12:00:00Z", 1709208000},
        {"1970-01-01T00:00:01Z", 1},
        {"2038-01-19T03:14:07Z", 2147483647},
        {"2023-02-29T00:00:00Z", -1},
        {"2024-05-01T24:00:00Z", -1},
        {"2024-05-01T00:00:00", -1},
        {"2024-05-01T00:00:00Zjunk", -1},
        {"2024-5-1", -1},
        {"", -1},
    };
    for (const auto& c : cases) {
        const auto parsed = tipserver::ParseIsoTime(c.text);
        if (c.seconds < 0) {
            EXPECT_FALSE(parsed) << c.text;
        } else {
            ASSERT_TRUE(parsed) << c.text;
            EXPECT_EQ(*parsed, c.seconds) << c.text;
        }
    }
    EXPECT_EQ(tipserver::FormatIsoTime(1714521600), "2024-05-01T00:00:00Z");
    EXPECT_EQ(tipserver::FormatIsoTime(2147483647), "2038-01-19T03:14:07Z");
}

}  // namespace
