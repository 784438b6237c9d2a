// Reloading: a good catalogue replaces the one in service, a bad one is
// refused and the one in service stays.
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <fstream>

#include "catalogue_source.h"
#include "server_test_support.h"

namespace {

using servertest::Tip;

class CatalogueSourceTest : public testing::Test {
protected:
    void SetUp() override {
        Write(servertest::CatalogueJson({Tip(1)}).dump());
        log_fd_ = ::open(folder_.File("log").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        log_ = std::make_unique<tipserver::LogSink>(log_fd_);
        source_ = std::make_unique<tipserver::CatalogueSource>(path_, tipserver::CatalogueOptions(), *log_);
        std::vector<tipserver::CatalogueProblem> problems;
        ASSERT_TRUE(source_->LoadInitial(problems));
    }
    void TearDown() override {
        source_.reset();
        log_.reset();
        ::close(log_fd_);
    }

    void Write(const std::string& text) { std::ofstream(path_, std::ios::trunc) << text; }
    std::string Log() {
        log_->Flush();
        std::ifstream in(folder_.File("log"));
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    coretest::ScratchFolder folder_;
    std::string path_ = folder_.File("catalogue.json");
    int log_fd_ = -1;
    std::unique_ptr<tipserver::LogSink> log_;
    std::unique_ptr<tipserver::CatalogueSource> source_;
};

TEST_F(CatalogueSourceTest, BadCatalogueKeepsTheOneInServiceAndSaysWhy) {
    const auto before = source_->Current();
    servertest::json bad = Tip(2);
    bad["text"] = std::string(101, 'x');
    Write(servertest::CatalogueJson({Tip(1), bad}).dump());
    source_->Reload("SIGHUP");
    EXPECT_EQ(source_->Current(), before);
    const std::string log = Log();
    EXPECT_NE(log.find("catalogue problem: tip 2: text: 101 bytes in CP936, at most 100"), std::string::npos) << log;
    EXPECT_NE(log.find("catalogue reload (SIGHUP) refused, 1 problems; still serving the previous catalogue"),
              std::string::npos)
        << log;
}

TEST_F(CatalogueSourceTest, ChangedFileIsTakenOnceItHasSettled) {
    const auto before = source_->Current();
    Write(servertest::CatalogueJson({Tip(1), Tip(2)}).dump());
    source_->Poll();  // seen changing: not yet
    EXPECT_EQ(source_->Current(), before);
    source_->Poll();  // unchanged since: taken
    ASSERT_NE(source_->Current(), before);
    EXPECT_EQ(source_->Current()->tips.size(), 2u);
    EXPECT_NE(Log().find("catalogue reloaded (file changed): 2 tips"), std::string::npos);

    // A bad file is tried once, not at every look.
    const auto good = source_->Current();
    Write("{");
    source_->Poll();
    source_->Poll();
    source_->Poll();
    EXPECT_EQ(source_->Current(), good);
    const std::string log = Log();
    EXPECT_EQ(log.find("refused"), log.rfind("refused"));
}

// Out of descriptors, a changed file cannot be read: it is tried again at
// the next look, not left until the next change.
TEST_F(CatalogueSourceTest, FileThatCouldNotBeReadIsTriedAgain) {
    Write(servertest::CatalogueJson({Tip(1), Tip(2)}).dump());
    source_->Poll();
    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &saved), 0);
    // Every descriptor below the lowest free one is taken: a limit there
    // leaves none to open.
    const int lowest_free = ::open("/dev/null", O_RDONLY);
    ::close(lowest_free);
    rlimit starved = saved;
    starved.rlim_cur = static_cast<rlim_t>(lowest_free);
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &starved), 0);
    source_->Poll();
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &saved), 0);
    EXPECT_EQ(source_->Current()->tips.size(), 1u);
    EXPECT_NE(Log().find("Too many open files"), std::string::npos) << Log();
    source_->Poll();
    EXPECT_EQ(source_->Current()->tips.size(), 2u);
    EXPECT_EQ(source_->ReloadFailures(), 1u);
}

}  // namespace
