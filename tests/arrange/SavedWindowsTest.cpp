#include "arrange/ClosedWindows.h"
#include "arrange/Layouts.h"
#include "automation/FileSystem.h"

#include <gtest/gtest.h>
#include <map>
#include <nlohmann/json.hpp>

namespace tabulon {
namespace {

using automation::Rect;
using automation::WindowState;
using nlohmann::json;

// Files held in memory; a write can be made to fail, and a file made unreadable.
class MemoryFiles : public automation::FileSystem
{
public:
    std::map<std::string, std::string> files;
    bool writesFail = false;
    std::string unreadable;

    bool isFile(const std::string& path) override { return files.count(path) != 0; }
    std::vector<std::string> listFiles(const std::string&, const std::string&) override
    {
        return {};
    }
    FileResult<std::string> readFile(const std::string& path) override
    {
        if (path == unreadable)
            return FileError{FileError::Reason::TooLarge, "too large"};
        const auto found = files.find(path);
        if (found == files.end())
            return FileError{FileError::Reason::NotFound, "missing"};
        return found->second;
    }
    FileResult<void> readLines(const std::string&,
                               const std::function<bool(std::string_view)>&) override
    {
        return FileError{FileError::Reason::Failed, "not used"};
    }
    FileResult<void> replaceFile(const std::string& path, std::string_view bytes) override
    {
        if (writesFail)
            return FileError{FileError::Reason::Failed, "disk full"};
        files[path] = std::string(bytes);
        return {};
    }
    bool DeleteFile(const std::string& path) override { return files.erase(path) != 0; }
};

const std::string kClosed = "/p/closed.json";
const std::string kLayouts = "/p/layouts.json";

SavedWindow window(const std::string& url, int left = 0)
{
    return {url, Rect{left, 20, 700, 500}, WindowState::Normal, ""};
}

TEST(ClosedWindows, KeepsTheLastTwentyGroupsAcrossARestart)
{
    MemoryFiles files;
    ClosedWindows closed(files, "/p");
    closed.load();
    EXPECT_TRUE(closed.empty());
    for (int i = 0; i < 25; ++i)
        closed.remember({window("http://w" + std::to_string(i) + ".example/", i)});
    closed.remember({}); // a command that closed nothing is no group

    ClosedWindows again(files, "/p");
    again.load();
    ASSERT_EQ(again.groups().size(), ClosedWindows::kGroups);
    EXPECT_EQ(again.groups().front().front().url, "http://w5.example/");
    EXPECT_EQ(again.last().front(), window("http://w24.example/", 24));

    // What could not be reopened stays; the group goes once nothing is left of it.
    again.replaceLast({window("http://left.example/")});
    EXPECT_EQ(again.last().front().url, "http://left.example/");
    again.replaceLast({});
    EXPECT_EQ(again.last().front().url, "http://w23.example/");
    EXPECT_EQ(again.groups().size(), ClosedWindows::kGroups - 1);
}

TEST(ClosedWindows, EveryFieldAndOddBytesInAnAddressSurviveTheFile)
{
    MemoryFiles files;
    ClosedWindows closed(files, "/p");
    closed.load();
    const SavedWindow odd{storableAddress("http://x.example/\x82\xA0?q=\xff\x01&k=日本"),
                          Rect{-8, -8, 1936, 1056}, WindowState::Maximized, "Firefox"};
    EXPECT_EQ(odd.url, "http://x.example/%82%A0?q=%FF%01&k=日本");
    const SavedWindow bare{"about:blank", std::nullopt, WindowState::Minimized, ""};
    closed.remember({odd, bare});

    EXPECT_TRUE(json::accept(files.files.at(kClosed)));
    ClosedWindows again(files, "/p");
    again.load();
    ASSERT_EQ(again.groups().size(), 1U);
    EXPECT_EQ(again.last(), (std::vector<SavedWindow>{odd, bare}));
}

TEST(ClosedWindows, ADamagedFileIsSetAsideNeverWrittenOver)
{
    for (const std::string& damaged :
         {std::string(R"({"groups": [[{"url": )"), std::string(R"({"groups": [[{"url": 5}]]})"),
          std::string(R"({"groups": [[{"url": "a", "state": "upside down"}]]})"),
          std::string("\xff\xfe not text"), std::string("[]")}) {
        MemoryFiles files;
        files.files[kClosed] = damaged;
        files.files[kClosed + ".bad"] = "an older damaged file";
        ClosedWindows closed(files, "/p");
        ::testing::internal::CaptureStderr();
        closed.load();
        const std::string said = ::testing::internal::GetCapturedStderr();
        EXPECT_TRUE(closed.empty());
        EXPECT_EQ(files.files.at(kClosed + ".2.bad"), damaged);
        EXPECT_EQ(files.files.at(kClosed + ".bad"), "an older damaged file");
        EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
        EXPECT_NE(said.find("closed.json.2.bad"), std::string::npos) << said;

        closed.remember({window("http://a.example/")});
        EXPECT_EQ(files.files.at(kClosed + ".2.bad"), damaged);
        EXPECT_NE(files.files.at(kClosed).find("http://a.example/"), std::string::npos);
    }
}

TEST(ClosedWindows, AFileThatCannotBeReadOrSetAsideIsLeftAlone)
{
    MemoryFiles files;
    files.files[kClosed] = "kept";
    files.unreadable = kClosed;
    ClosedWindows closed(files, "/p");
    ::testing::internal::CaptureStderr();
    closed.load();
    closed.remember({window("http://a.example/")});
    ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(files.files.at(kClosed), "kept");
    // The group is still there for this run.
    EXPECT_FALSE(closed.empty());

    MemoryFiles full;
    full.files[kClosed] = "{damaged";
    full.writesFail = true;
    ClosedWindows blocked(full, "/p");
    ::testing::internal::CaptureStderr();
    blocked.load();
    full.writesFail = false;
    blocked.remember({window("http://a.example/")});
    ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(full.files.at(kClosed), "{damaged");
}

TEST(ClosedWindows, AFailedWriteKeepsTheFileAsItWas)
{
    MemoryFiles files;
    ClosedWindows closed(files, "/p");
    closed.load();
    closed.remember({window("http://a.example/")});
    const std::string before = files.files.at(kClosed);
    files.writesFail = true;
    ::testing::internal::CaptureStderr();
    closed.remember({window("http://b.example/")});
    EXPECT_NE(::testing::internal::GetCapturedStderr().find("not saved"), std::string::npos);
    EXPECT_EQ(files.files.at(kClosed), before);
    files.writesFail = false;
    closed.remember({window("http://c.example/")});
    ClosedWindows again(files, "/p");
    again.load();
    EXPECT_EQ(again.groups().size(), 3U);
}

TEST(Layouts, ASameNameReplacesInPlaceAndRemovalNamesOne)
{
    MemoryFiles files;
    Layouts layouts(files, "/p");
    layouts.load();
    layouts.save("仕事", {window("http://a.example/")});
    layouts.save("home", {window("http://b.example/")});
    layouts.save("仕事", {window("http://c.example/"), window("http://d.example/")});
    EXPECT_EQ(layouts.names(), (std::vector<std::string>{"仕事", "home"}));
    EXPECT_FALSE(layouts.remove("nothing"));

    Layouts again(files, "/p");
    again.load();
    ASSERT_EQ(again.all().size(), 2U);
    EXPECT_EQ(again.all()[0].windows.size(), 2U);
    EXPECT_TRUE(again.remove("仕事"));
    again.load();
    EXPECT_EQ(again.names(), (std::vector<std::string>{"home"}));

    files.files[kLayouts] = R"({"layouts": [{"name": "x"}]})";
    ::testing::internal::CaptureStderr();
    again.load();
    ::testing::internal::GetCapturedStderr();
    EXPECT_TRUE(again.names().empty());
    EXPECT_EQ(files.files.at(kLayouts + ".bad"), R"({"layouts": [{"name": "x"}]})");
}

TEST(MatchAddresses, ExactFirstThenHostAndPathEachWindowOnce)
{
    const std::vector<std::string> open = {
        "https://A.example/mail?inbox=2", // same host and path as the first saved
        "http://a.example/mail?inbox=1",  // the exact one, listed later
        "http://b.example/x#top",         "http://c.example/other", "about:blank",
    };
    const std::vector<std::string> saved = {"http://a.example/mail?inbox=1",
                                            "http://a.example/mail?inbox=9",
                                            "http://a.example/mail",
                                            "http://b.example/x",
                                            "http://c.example/",
                                            "about:blank",
                                            "about:blank"};
    EXPECT_EQ(matchAddresses(saved, open), (std::vector<int>{1, 0, -1, 2, -1, 4, -1}));
}

TEST(MatchAddresses, HostAndPathIgnoreSchemeUserQueryAndHostCase)
{
    EXPECT_EQ(hostAndPath("https://user@WWW.Example.com:8080/A/b?x#y"), "www.example.com:8080/A/b");
    EXPECT_EQ(hostAndPath("http://example.com"), "example.com/");
    EXPECT_EQ(hostAndPath("file:///home/u/a.html?1"), "/home/u/a.html");
    EXPECT_NE(hostAndPath("http://example.com/A"), hostAndPath("http://example.com/a"));
}

} // namespace
} // namespace tabulon
