// The registered lists: any bytes as sitelist.txt and applist.txt, loaded into the
// tables as the program loads them at start-up, saved, and loaded again.
//
// Input: one byte of options, then the file. Option bit 0 puts a long first line in
// front of the file so that the file's own bytes meet the reader's buffer boundary;
// bits 1-5 move them across it.

#include "FuzzCheck.h"
#include "automation/local/LocalFileSystem.h"
#include "automation/sim/SimDesktop.h"
#include "base/Cp932.h"
#include "core/Module1.h"

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

using namespace tabulon;

namespace {

// Where the files go: memory when the machine offers it, as every input is written
// and replaced.
std::string makeFolder()
{
    const char* base = std::filesystem::is_directory("/dev/shm") ? "/dev/shm" : nullptr;
    std::string pattern =
        std::string(base ? base : std::filesystem::temp_directory_path().c_str()) +
        "/tabulon-fuzz-lists-XXXXXX";
    if (!::mkdtemp(pattern.data()))
        std::abort();
    static std::string removeAtExit;
    removeAtExit = pattern;
    std::atexit([] {
        std::error_code ignored;
        std::filesystem::remove_all(removeAtExit, ignored);
    });
    return pattern;
}

// The lines of a list file as its format defines them: ended by CR LF, LF or CR;
// the last one may have no end.
std::vector<std::string_view> lines(std::string_view bytes)
{
    std::vector<std::string_view> result;
    std::size_t i = 0;
    while (i < bytes.size()) {
        const std::size_t j = bytes.find_first_of("\r\n", i);
        if (j == std::string_view::npos) {
            result.push_back(bytes.substr(i));
            break;
        }
        result.push_back(bytes.substr(i, j - i));
        i = j + (bytes[j] == '\r' && j + 1 < bytes.size() && bytes[j + 1] == '\n' ? 2 : 1);
    }
    return result;
}

template <typename Entry, std::size_t N>
std::vector<std::pair<std::string, std::string>> table(const std::array<Entry, N>& list,
                                                       std::int32_t last, std::string Entry::*value)
{
    fuzzCheck(last >= 0 && last < static_cast<std::int32_t>(N), "the last entry is in the table");
    std::vector<std::pair<std::string, std::string>> entries;
    for (std::int32_t i = 0; i <= last; ++i) {
        const Entry& e = list[static_cast<std::size_t>(i)];
        fuzzCheck(isUtf8(e.Name) && isUtf8(e.*value), "entries are UTF-8");
        entries.emplace_back(e.Name, e.*value);
    }
    return entries;
}

// The table holds the file's lines in pairs, as many as fit.
void checkLoaded(const std::vector<std::pair<std::string, std::string>>& entries,
                 std::string_view file, std::size_t slots)
{
    const std::vector<std::string_view> l = lines(file);
    if (l.empty())
        return; // the built-in entry
    const std::size_t expected = std::min((l.size() + 1) / 2, slots);
    fuzzCheck(entries.size() == expected, "every pair of lines is an entry, as many as fit");
    for (std::size_t i = 0; i < expected; ++i) {
        fuzzCheck(entries[i].first == fromCp932(l[2 * i]), "an entry's name is its first line");
        const std::string value = 2 * i + 1 < l.size() ? fromCp932(l[2 * i + 1]) : std::string();
        fuzzCheck(entries[i].second == value, "an entry's value is its second line");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const std::string folder = makeFolder();
    static automation::sim::SimDesktop desktop{automation::sim::SimSetup{}};
    static automation::LocalFileSystem disk;
    if (size < 1)
        return 0;
    const std::uint8_t options = data[0];
    std::string file;
    if (options & 1)
        file.assign(65536 - ((options >> 1) & 31), 'n');
    file.append(reinterpret_cast<const char*>(data + 1), size - 1);

    ProgramFiles files{folder, "tabulon"};
    fuzzCheck(disk.replaceFile(files.siteListPath(), file).has_value(), "the site list is written");
    fuzzCheck(disk.replaceFile(files.appListPath(), file).has_value(),
              "the application list is written");

    automation::Platform platform = desktop.platform();
    Module1 module(platform, files);
    module.LoadSiteList();
    module.LoadAppList();
    const auto sites = table(module.SiteList, module.SiteLast, &SiteEntry::URL);
    const auto apps = table(module.AppList, module.AppLast, &AppEntry::Path);
    checkLoaded(sites, file, kSiteSlots);
    checkLoaded(apps, file, kAppSlots);

    // Saved and loaded again, the tables are the same: nothing is lost or split.
    fuzzCheck(module.SaveSiteList() && module.SaveAppList(), "the lists are saved");
    const auto saved = disk.readFile(files.siteListPath());
    fuzzCheck(saved && lines(*saved).size() == 2 * sites.size(),
              "every entry is saved as two lines");
    Module1 again(platform, files);
    again.LoadSiteList();
    again.LoadAppList();
    fuzzCheck(table(again.SiteList, again.SiteLast, &SiteEntry::URL) == sites,
              "the site list reads back as it was saved");
    fuzzCheck(table(again.AppList, again.AppLast, &AppEntry::Path) == apps,
              "the application list reads back as it was saved");
    return 0;
}
