#include "app/ProgramLocation.h"

#include <QTemporaryDir>
#include <filesystem>
#include <gtest/gtest.h>

namespace {

namespace fs = std::filesystem;

// A folder tree and a configuration folder of the test's own, the old one put back
// afterwards.
class ProgramLocation : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_root.isValid());
        m_hadConfig = qEnvironmentVariableIsSet("XDG_CONFIG_HOME");
        m_savedConfig = qgetenv("XDG_CONFIG_HOME");
        qputenv("XDG_CONFIG_HOME", (root() / "config").string().c_str());
    }
    void TearDown() override
    {
        if (m_hadConfig)
            qputenv("XDG_CONFIG_HOME", m_savedConfig);
        else
            qunsetenv("XDG_CONFIG_HOME");
    }

    fs::path root() const { return {m_root.path().toStdString()}; }
    fs::path makeFolder(const std::string& relative) const
    {
        fs::create_directories(root() / relative);
        return root() / relative;
    }
    static tabulon::ProgramFiles locate(const fs::path& exe)
    {
        return tabulon::locateProgramFiles(QString::fromStdString(exe.string()));
    }

private:
    QTemporaryDir m_root;
    QByteArray m_savedConfig;
    bool m_hadConfig = false;
};

TEST_F(ProgramLocation, ABuildKeepsItsFilesBesideTheExecutable)
{
    const fs::path bin = makeFolder("build/app");
    const tabulon::ProgramFiles files = locate(bin / "tabulon");
    EXPECT_EQ(files.folder, bin.string());
    EXPECT_EQ(files.settingsPath(), (bin / "tabulon.ini").string());
    EXPECT_EQ(files.helpPath(), (bin / "tabulon.chm").string());
    EXPECT_FALSE(fs::exists(root() / "config/tabulon")) << "nothing is made for a build";
}

// The installed copy must not write beside /usr/bin even when it can (root can write
// anywhere): its share folder tells it apart.
TEST_F(ProgramLocation, AnInstalledCopyWritesToTheConfigFolderAndReadsItsInstalledHelp)
{
    const fs::path bin = makeFolder("usr/bin");
    makeFolder("usr/share/tabulon");
    const tabulon::ProgramFiles files = locate(bin / "tabulon");
    const fs::path config = root() / "config/tabulon";
    EXPECT_EQ(files.folder, config.string());
    EXPECT_TRUE(fs::is_directory(config));
    EXPECT_EQ(files.siteListPath(), (config / "sitelist.txt").string());
    EXPECT_EQ(files.appListPath(), (config / "applist.txt").string());
    EXPECT_EQ(files.helpPath(), (root() / "usr/share/tabulon/tabulon.chm").string());
}

TEST_F(ProgramLocation, TheSettingsFileIsNamedAfterTheExecutable)
{
    const fs::path bin = makeFolder("portable");
    const tabulon::ProgramFiles files = locate(bin / "mytabs");
    EXPECT_EQ(files.settingsPath(), (bin / "mytabs.ini").string());
    EXPECT_EQ(files.helpPath(), (bin / "mytabs.chm").string());
}

} // namespace
