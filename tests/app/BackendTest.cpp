#include "app/Backend.h"

#include "automation/Shell.h"
#include "automation/real/XdgScriptingShell.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <optional>
#include <sstream>
#include <unistd.h>

namespace tabulon {
namespace {

// Sets environment variables for one test and puts the old values back afterwards.
class Environment
{
public:
    void set(const char* name, const std::string& value)
    {
        remember(name);
        ::setenv(name, value.c_str(), 1);
    }
    void unset(const char* name)
    {
        remember(name);
        ::unsetenv(name);
    }
    ~Environment()
    {
        for (const auto& [name, value] : m_old) {
            if (value)
                ::setenv(name.c_str(), value->c_str(), 1);
            else
                ::unsetenv(name.c_str());
        }
    }

private:
    void remember(const char* name)
    {
        if (m_old.count(name))
            return;
        const char* value = std::getenv(name);
        m_old[name] = value ? std::optional<std::string>(value) : std::nullopt;
    }

    std::map<std::string, std::optional<std::string>> m_old;
};

long lines(const std::string& text)
{
    return std::count(text.begin(), text.end(), '\n');
}

// A home of its own for each test: nothing lands in the user's.
class TemporaryHome : public testing::Test
{
protected:
    TemporaryHome()
    {
        // Each test runs in a process of its own, maybe beside another: a folder each.
        home = std::filesystem::temp_directory_path() /
               ("tabulon-home-test-" + std::to_string(::getpid()));
        std::filesystem::remove_all(home);
        std::filesystem::create_directories(home / "config");
        env.set("HOME", home.string());
        env.set("XDG_CONFIG_HOME", (home / "config").string());
        env.set("XDG_DATA_HOME", (home / "data").string());
        env.set("XDG_CACHE_HOME", (home / "cache").string());
    }
    ~TemporaryHome() override { std::filesystem::remove_all(home); }

    Environment env;
    std::filesystem::path home;
};

class LoadBackend : public TemporaryHome
{
};

// These tests run on Qt's offscreen platform: there are no X11 windows to manage.
TEST_F(LoadBackend, TheSimulatedDesktopWhenAskedForSaysNothing)
{
    env.set("TABULON_BACKEND", "sim");
    std::ostringstream log;
    const auto backend = loadBackend(log);
    ASSERT_TRUE(backend);
    EXPECT_NE(backend->description().find("simulated"), std::string::npos);
    EXPECT_EQ(log.str(), "");
    // A backend that can be driven: its shell lists the demonstration windows.
    EXPECT_FALSE(backend->platform().objects.createShell()->windows()->items().empty());
    // A demonstration makes nothing in the user's home.
    EXPECT_FALSE(std::filesystem::exists(home / "data"));
}

TEST_F(LoadBackend, WithoutX11WindowsTheProgramStillRunsAndSaysWhyInOneLine)
{
    env.unset("TABULON_BACKEND");
    std::ostringstream log;
    const auto backend = loadBackend(log);
    ASSERT_TRUE(backend);
    EXPECT_NE(backend->description().find("simulated"), std::string::npos);
    EXPECT_EQ(lines(log.str()), 1) << log.str();
    EXPECT_NE(log.str().find("offscreen"), std::string::npos) << log.str();

    // A value the loader does not know is said too, and it still chooses.
    env.set("TABULON_BACKEND", "ie");
    std::ostringstream unknown;
    ASSERT_TRUE(loadBackend(unknown));
    EXPECT_EQ(lines(unknown.str()), 2) << unknown.str();
    EXPECT_NE(unknown.str().find("TABULON_BACKEND=ie"), std::string::npos) << unknown.str();
}

class XdgFolders : public TemporaryHome
{
};

TEST_F(XdgFolders, DesktopAndDocumentsFollowTheUserDirsSettings)
{
    std::ofstream(home / "config/user-dirs.dirs")
        << "XDG_DESKTOP_DIR=\"$HOME/デスクトップ\"\nXDG_DOCUMENTS_DIR=\"$HOME/文書/\"\n";
    std::filesystem::create_directories(home / "デスクトップ");
    std::filesystem::create_directories(home / "文書");
    automation::XdgScriptingShell shell((home / "data/Favorites/").string());
    EXPECT_EQ(shell.SpecialFolders("Desktop"), (home / "デスクトップ").string());
    EXPECT_EQ(shell.SpecialFolders("MyDocuments"), (home / "文書").string());
    EXPECT_EQ(shell.SpecialFolders("Programs"), "");

    // The Favourites folder is there by the time anyone is told of it.
    EXPECT_FALSE(std::filesystem::exists(home / "data/Favorites"));
    EXPECT_EQ(shell.SpecialFolders("Favorites"), (home / "data/Favorites").string());
    EXPECT_TRUE(std::filesystem::is_directory(home / "data/Favorites"));
}

TEST_F(XdgFolders, WithoutSettingsTheFoldersAreTheUsualOnesInTheHome)
{
    automation::XdgScriptingShell shell((home / "fav").string());
    EXPECT_EQ(shell.SpecialFolders("Desktop"), (home / "Desktop").string());
    EXPECT_EQ(shell.SpecialFolders("MyDocuments"), (home / "Documents").string());
}

} // namespace
} // namespace tabulon
