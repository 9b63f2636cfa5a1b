#include "automation/local/LocalFileSystem.h"
#include "automation/local/Process.h"
#include "core/ListFile.h"
#include "tests/core/CrashLists.h"

#include <atomic>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <random>
#include <thread>
#include <unistd.h>

namespace tabulon {
namespace {

namespace fs = std::filesystem;

std::string contents(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// Whether the folder holds anything besides the list: a save's temporary.
bool hasTemporary(const fs::path& dir, const fs::path& file)
{
    for (const auto& entry : fs::directory_iterator(dir)) {
        if (entry.path() != file)
            return true;
    }
    return false;
}

// A writer killed at random moments of its saves leaves the file wholly the old list or
// wholly the new one, every time.
TEST(ListFileCrash, AKilledSaveLeavesTheOldOrTheNewListNeverAMix)
{
    const fs::path dir =
        fs::temp_directory_path() / ("tabulon-crash-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    const fs::path file = dir / "sitelist.txt";
    const std::string a = formatListFile(crashtest::bigList('a'));
    const std::string b = formatListFile(crashtest::bigList('b'));
    automation::LocalFileSystem files;
    ASSERT_TRUE(files.replaceFile(file.string(), a));

    std::mt19937 random(20260812);
    std::uniform_int_distribution<int> delayUs(0, 20000);
    int interrupted = 0;
    constexpr int kRounds = 60;
    for (int round = 0; round < kRounds; ++round) {
        const std::string writer = TABULON_LIST_WRITER;
        const std::string target = file.string();
        automation::SpawnOptions options;
        options.argv = {writer, target};
        automation::Process saving = automation::Process::spawn(options);
        // Once the writer is saving, at a random moment of its work.
        for (auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
             !hasTemporary(dir, file) && std::chrono::steady_clock::now() < deadline;)
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        std::this_thread::sleep_for(std::chrono::microseconds(delayUs(random)));
        saving.signal(SIGKILL);
        const auto ended = saving.waitFor(std::chrono::seconds(10));
        ASSERT_TRUE(ended);
        ASSERT_EQ(ended->signal, SIGKILL) << "the writer stopped by itself in round " << round;

        const std::string now = contents(file);
        ASSERT_TRUE(now == a || now == b)
            << "round " << round << ": the file holds " << now.size() << " bytes of neither list";
        // A temporary left behind is a save the kill cut short.
        for (const auto& entry : fs::directory_iterator(dir)) {
            if (entry.path() != file) {
                ++interrupted;
                fs::remove(entry.path());
            }
        }
    }
    // Some kills must land in the middle of a save, or this proved nothing.
    EXPECT_GT(interrupted, 0);
    std::error_code ec;
    fs::remove_all(dir, ec);
}

} // namespace
} // namespace tabulon
