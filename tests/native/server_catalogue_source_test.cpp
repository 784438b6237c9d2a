// A good catalogue replaces the one in service once its file has settled, a
// bad one is refused once and the old one stays, an unreadable one is retried.
#include <sys/resource.h>

#include "catalogue_source.h"
#include "server_test_support.h"

namespace {

using servertest::Tip;

TEST(CatalogueSource, ReloadsGoodFilesOnlyAndRetriesReadErrors) {
    servertest::LogFile log;
    const std::string path = log.folder.File("catalogue.json");
    const auto write = [&](const servertest::json& tips) {
        std::ofstream(path, std::ios::trunc) << servertest::CatalogueJson(tips).dump();
    };
    write(servertest::json::array({Tip(1)}));
    tipserver::CatalogueSource source(path, tipserver::CatalogueOptions(), log.sink);
    std::vector<tipserver::CatalogueProblem> problems;
    ASSERT_TRUE(source.LoadInitial(problems));
    const auto first = source.Current();

    write({Tip(1), Tip(2, {{"text", std::string(101, 'x')}})});
    source.Reload("SIGHUP");
    EXPECT_EQ(source.Current(), first);
    EXPECT_TRUE(log.Has("catalogue problem: tip 2: text: 101 bytes in CP936, at most 100\n"));
    EXPECT_TRUE(log.Has("catalogue reload (SIGHUP) refused, 1 problems; still serving the previous catalogue"));
    source.Poll(), source.Poll();  // the bad file, already tried, is not tried again
    EXPECT_EQ(log.Text().find("refused"), log.Text().rfind("refused"));

    write({Tip(1), Tip(2)});
    source.Poll();  // seen changing: not yet
    EXPECT_EQ(source.Current(), first);
    // Out of descriptors (a limit at the lowest free one), the settled file cannot be read.
    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &saved), 0);
    const int lowest_free = ::open("/dev/null", O_RDONLY);
    ::close(lowest_free);
    rlimit starved{static_cast<rlim_t>(lowest_free), saved.rlim_max};
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &starved), 0);
    source.Poll();
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &saved), 0);
    EXPECT_EQ(source.Current(), first);
    EXPECT_TRUE(log.Has("Too many open files"));
    source.Poll();  // tried again at the next look
    EXPECT_EQ(std::make_pair(source.Current()->tips.size(), source.ReloadFailures()), std::make_pair(size_t(2), uint64_t(2)));
    EXPECT_TRUE(log.Has("catalogue reloaded (retry after a read error): 2 tips"));
}

}  // namespace
