// Rewrites a list file over and over, alternating between two lists, until it is
// killed: the writer that the crash test kills in the middle of a save.
#include "automation/local/LocalFileSystem.h"
#include "tests/core/CrashLists.h"

#include <cstdio>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: tabulon_list_writer FILE\n");
        return 2;
    }
    automation::LocalFileSystem files;
    const auto a = tabulon::crashtest::bigList('a');
    const auto b = tabulon::crashtest::bigList('b');
    for (bool useA = false;; useA = !useA) {
        if (!tabulon::writeListFile(files, argv[1], useA ? a : b))
            return 1;
    }
}
