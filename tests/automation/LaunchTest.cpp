#include "automation/local/Launch.h"

#include "automation/local/LocalLauncher.h"

#include <atomic>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <unistd.h>

namespace automation {
namespace {

namespace fs = std::filesystem;
using Args = std::vector<std::string>;
using namespace std::chrono_literals;

TEST(SplitCommandLine, BlanksSeparateArguments)
{
    EXPECT_EQ(splitCommandLine(""), Args{});
    EXPECT_EQ(splitCommandLine(" \t  "), Args{});
    EXPECT_EQ(splitCommandLine("a b\tc"), (Args{"a", "b", "c"}));
    EXPECT_EQ(splitCommandLine("  a  \t b  "), (Args{"a", "b"}));
    EXPECT_EQ(splitCommandLine("\"日本 語\" x"), (Args{"日本 語", "x"}));
}

TEST(SplitCommandLine, QuotesGroupAndDisappear)
{
    EXPECT_EQ(splitCommandLine(R"("a b" c)"), (Args{"a b", "c"}));
    EXPECT_EQ(splitCommandLine(R"(a"b c"d)"), (Args{"ab cd"}));
    EXPECT_EQ(splitCommandLine(R"("")"), (Args{""}));
    EXPECT_EQ(splitCommandLine(R"(a "" b)"), (Args{"a", "", "b"}));
    EXPECT_EQ(splitCommandLine(R"("open)"), (Args{"open"}));
    EXPECT_EQ(splitCommandLine(R"("open to the end)"), (Args{"open to the end"}));
    EXPECT_EQ(splitCommandLine(R"("C:\Program Files\App\app.exe" -x)"),
              (Args{R"(C:\Program Files\App\app.exe)", "-x"}));
}

TEST(SplitCommandLine, DoubledQuoteInsideQuotesIsALiteralQuote)
{
    EXPECT_EQ(splitCommandLine(R"("a""b")"), (Args{R"(a"b)"}));
    EXPECT_EQ(splitCommandLine(R"("a"" b")"), (Args{R"(a" b)"}));
    EXPECT_EQ(splitCommandLine(R"("""")"), (Args{R"(")"}));
    // Outside quotes the pair opens and closes an empty quoted part.
    EXPECT_EQ(splitCommandLine(R"(a"" b)"), (Args{"a", "b"}));
}

TEST(SplitCommandLine, BackslashesBeforeQuotes)
{
    EXPECT_EQ(splitCommandLine(R"(a\b a\\b)"), (Args{R"(a\b)", R"(a\\b)"}));
    EXPECT_EQ(splitCommandLine(R"(\"a)"), (Args{R"("a)"}));
    EXPECT_EQ(splitCommandLine(R"(\\"a b")"), (Args{R"(\a b)"}));
    EXPECT_EQ(splitCommandLine(R"(\\\"a b)"), (Args{R"(\"a)", "b"}));
    EXPECT_EQ(splitCommandLine(R"(\\\\"a b")"), (Args{R"(\\a b)"}));
    EXPECT_EQ(splitCommandLine(R"("a\\" b)"), (Args{R"(a\)", "b"}));
    EXPECT_EQ(splitCommandLine(R"("a\" b")"), (Args{R"(a" b)"}));
    EXPECT_EQ(splitCommandLine(R"(a\ b\)"), (Args{R"(a\)", R"(b\)"}));
}

TEST(ProgramCommandLine, AnUnquotedPathWithBlanksIsFoundAsWindowsFindsIt)
{
    const auto programs = [](std::set<std::string> names) {
        return [names](const std::string& path) { return names.count(path) > 0; };
    };
    EXPECT_EQ(programCommandLine("/opt/My Tools/run x \"y z\"", programs({"/opt/My Tools/run"})),
              (Args{"/opt/My Tools/run", "x", "y z"}));
    // The shortest program wins, as it does on Windows.
    EXPECT_EQ(
        programCommandLine("  /opt/My Tools/run x", programs({"/opt/My", "/opt/My Tools/run"})),
        (Args{"/opt/My", "Tools/run", "x"}));
    EXPECT_EQ(programCommandLine("/opt/My Tools/run", programs({"/opt/My Tools/run"})),
              (Args{"/opt/My Tools/run"}));
    // Quoted, or nothing that names a program: the usual split.
    EXPECT_EQ(programCommandLine("\"/opt/My Tools/run\" x", programs({"/opt/My"})),
              (Args{"/opt/My Tools/run", "x"}));
    EXPECT_EQ(programCommandLine("gedit  a b", programs({})), (Args{"gedit", "a", "b"}));
    EXPECT_EQ(programCommandLine(" \t", programs({""})), Args{});
}

class SpawnTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        static std::atomic<int> counter{0};
        m_dir = fs::temp_directory_path() /
                ("tabulon-spawn-" + std::to_string(::getpid()) + "-" + std::to_string(++counter));
        fs::create_directories(m_dir);
        m_dir = fs::canonical(m_dir);
    }
    void TearDown() override
    {
        std::error_code ec;
        fs::remove_all(m_dir, ec);
    }

    std::string path(const std::string& name) const { return (m_dir / name).string(); }

    // The first line of a file a child writes, once it has written it.
    std::optional<std::string> awaitLine(const std::string& name) const
    {
        for (auto deadline = std::chrono::steady_clock::now() + 10s;
             std::chrono::steady_clock::now() < deadline; std::this_thread::sleep_for(10ms)) {
            std::ifstream in(path(name));
            std::string line;
            if (std::getline(in, line) && in.good())
                return line;
        }
        return std::nullopt;
    }

    // A field of /proc/<pid>/stat (1 is the pid), or nothing once the process is gone.
    static std::optional<std::string> statField(pid_t pid, int field)
    {
        std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
        std::string text;
        if (!std::getline(in, text))
            return std::nullopt;
        // The name in parentheses may hold blanks; count from after it.
        std::istringstream rest(text.substr(text.rfind(')') + 2));
        std::string value;
        for (int i = 3; i <= field && rest >> value; ++i) {
        }
        return value;
    }

    static std::optional<std::string> statusLine(pid_t pid, const std::string& key)
    {
        std::ifstream in("/proc/" + std::to_string(pid) + "/status");
        for (std::string line; std::getline(in, line);) {
            if (line.rfind(key + ":", 0) == 0)
                return line.substr(key.size() + 1);
        }
        return std::nullopt;
    }

    fs::path m_dir;
};

TEST_F(SpawnTest, StartsInTheWorkingFolder)
{
    ASSERT_TRUE(
        spawnDetached({"/bin/sh", "-c", "pwd -P > out.tmp && mv out.tmp out"}, m_dir.string()));
    EXPECT_EQ(awaitLine("out"), m_dir.string());
}

TEST_F(SpawnTest, SearchesThePathForABareName)
{
    ASSERT_TRUE(spawnDetached(
        {"sh", "-c", "echo \"$0|$1\" > out.tmp && mv out.tmp out", "a b", "日本"}, m_dir.string()));
    EXPECT_EQ(awaitLine("out"), "a b|日本");
}

TEST_F(SpawnTest, ReportsWhatCannotBeStarted)
{
    EXPECT_FALSE(spawnDetached({}, ""));
    EXPECT_FALSE(spawnDetached({""}, ""));
    EXPECT_FALSE(spawnDetached({path("no-such-program")}, ""));
    EXPECT_FALSE(spawnDetached({"tabulon-no-such-program-anywhere"}, ""));
    EXPECT_FALSE(spawnDetached({"/bin/true"}, path("no-such-folder")));
    // A file that is not executable.
    std::ofstream(path("plain.txt")) << "#!/bin/sh\n";
    EXPECT_FALSE(spawnDetached({path("plain.txt")}, ""));
    EXPECT_FALSE(spawnDetached({std::string("/bin/true\0x", 11)}, ""));
}

TEST_F(SpawnTest, ReturnsAtOnceAndLeavesNoZombie)
{
    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(spawnDetached({"/bin/sh", "-c", "echo $$ > pid.tmp && mv pid.tmp pid; sleep 1"},
                              m_dir.string()));
    EXPECT_LT(std::chrono::steady_clock::now() - start, 900ms);
    const std::optional<std::string> line = awaitLine("pid");
    ASSERT_TRUE(line.has_value());
    const pid_t pid = std::stoi(*line);
    EXPECT_EQ(statField(pid, 4), std::to_string(::getpid())); // it is our child

    // Once it ends it must be reaped: a zombie would stay in state Z.
    std::optional<std::string> state = statField(pid, 3);
    for (auto deadline = std::chrono::steady_clock::now() + 10s;
         state && std::chrono::steady_clock::now() < deadline; state = statField(pid, 3))
        std::this_thread::sleep_for(20ms);
    EXPECT_EQ(state, std::nullopt) << "the child is still there in state " << *state;
}

TEST_F(SpawnTest, ChildRunsInItsOwnSessionWithDefaultSignals)
{
    void (*savedPipe)(int) = std::signal(SIGPIPE, SIG_IGN);
    sigset_t blocked;
    sigset_t savedMask;
    sigemptyset(&blocked);
    sigaddset(&blocked, SIGUSR1);
    pthread_sigmask(SIG_BLOCK, &blocked, &savedMask);
    const bool started = spawnDetached(
        {"/bin/sh", "-c", "echo $$ > pid.tmp && mv pid.tmp pid; exec sleep 30"}, m_dir.string());
    pthread_sigmask(SIG_SETMASK, &savedMask, nullptr);
    std::signal(SIGPIPE, savedPipe);
    ASSERT_TRUE(started);

    const std::optional<std::string> line = awaitLine("pid");
    ASSERT_TRUE(line.has_value());
    const pid_t pid = std::stoi(*line);
    // Wait for the exec so the status shows sleep's, not the shell's, signal state.
    for (auto deadline = std::chrono::steady_clock::now() + 10s;
         statusLine(pid, "Name") != "\tsleep" && std::chrono::steady_clock::now() < deadline;)
        std::this_thread::sleep_for(10ms);
    EXPECT_EQ(statField(pid, 6), std::to_string(pid)); // session id
    // Signals 1 to 31 only: glibc keeps its own two internal signals ignored.
    const auto standardSignals = [&](const std::string& key) {
        const std::optional<std::string> mask = statusLine(pid, key);
        return mask ? std::stoull(*mask, nullptr, 16) & 0x7FFFFFFFull : ~0ull;
    };
    EXPECT_EQ(standardSignals("SigIgn"), 0u);
    EXPECT_EQ(standardSignals("SigBlk"), 0u);
    ::kill(pid, SIGTERM);
}

class LocalLauncherTest : public SpawnTest
{
protected:
    // An executable script that writes its arguments, one a line, to out.
    std::string script(const std::string& name)
    {
        std::ofstream(path(name)) << "#!/bin/sh\nfor a in \"$@\"; do echo \"$a\"; done > \""
                                  << path("out.tmp") << "\"\nmv \"" << path("out.tmp") << "\" \""
                                  << path("out") << "\"\n";
        fs::permissions(path(name), fs::perms::owner_all);
        return path(name);
    }
};

TEST_F(LocalLauncherTest, StartsAProgramWhosePathHoldsBlanks)
{
    fs::create_directories(m_dir / "My Tools");
    const std::string program = script("My Tools/run");
    LocalLauncher().StartProgram(program + " first \"second arg\"", 1);
    EXPECT_EQ(awaitLine("out"), "first");
}

TEST_F(LocalLauncherTest, OpensAProgramNamedRelativeToTheWorkingFolder)
{
    script("tool");
    LocalLauncher().ShellExecute(0, "Open", "tool", "x", m_dir.string(), 1);
    EXPECT_EQ(awaitLine("out"), "x");
}

} // namespace
} // namespace automation
