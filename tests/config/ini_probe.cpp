// Prints the profile API's answer to every lookup of the corpus, in the format
// of answers.txt. Run in a corpus work folder (see make_fixtures.cmake); under
// Wine its output is the recorded reference:
//   cmake/wine-run build/win32/ini_probe.exe ../../tests/data/ini/lookups.txt
#include <cstdio>

#include "config/profile_corpus.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: ini_probe LOOKUPS_FILE (run inside the corpus work folder)\n");
        return 2;
    }
    if (!corpus::makeGeneratedFiles()) {
        std::fprintf(stderr, "ini_probe: cannot write the generated files here\n");
        return 1;
    }
    const auto lookups = corpus::readLookups(argv[1]);
    std::printf("# file\tsection\tkey\tfallback\tsize\tcount\tvalue; recorded by ini_probe\n");
    for (const auto& lookup : lookups) {
        const auto answer = corpus::ask(lookup);
        std::printf("%s\t%s\n", corpus::questionLine(lookup).c_str(),
                    corpus::answerColumns(answer).c_str());
    }
    return lookups.empty() ? 1 : 0;
}
