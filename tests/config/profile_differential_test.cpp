// The profile seam against the real profile API: every lookup of the INI
// corpus is answered by this build's platform layer and compared with the
// answer recorded from the Windows API under Wine. Natively, the few answers
// that Windows is known to give differently from Wine are expected instead.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "config/profile_corpus.h"

namespace {

// ctest runs this in the corpus work folder, with the answer files beside the corpus.
const std::string kCorpus = ".";

// Set by ctest for the Windows build, whose API is Wine's.
bool apiIsWine() {
    const char* api = std::getenv("TALVEX_PROFILE_API");
    return api != nullptr && std::string(api) == "wine";
}

TEST(ProfileDifferential, EveryLookupGivesTheReferenceAnswer) {
    ASSERT_TRUE(corpus::makeGeneratedFiles());
    const auto lookups = corpus::readLookups(kCorpus + "/lookups.txt");
    const auto recorded = corpus::readAnswers(kCorpus + "/answers.txt");
    std::map<std::string, std::string> reasons;
    const auto windows = corpus::readAnswers(kCorpus + "/windows_answers.txt", &reasons);
    ASSERT_GT(lookups.size(), 900u);
    ASSERT_EQ(recorded.size(), lookups.size())
        << "answers.txt is stale: record it again with ini_probe";

    int compared = 0;
    for (const auto& lookup : lookups) {
        const std::string question = corpus::questionLine(lookup);
        const auto wine = recorded.find(question);
        ASSERT_NE(wine, recorded.end()) << "no recorded answer for " << question;
        const auto windowsAnswer = windows.find(question);
        const bool windowsDiffers = windowsAnswer != windows.end();
        const corpus::Answer& expected =
            windowsDiffers && !apiIsWine() ? windowsAnswer->second : wine->second;
        const corpus::Answer actual = corpus::ask(lookup);
        EXPECT_EQ(actual, expected)
            << question << "\n  expected " << corpus::answerColumns(expected)
            << (windowsDiffers ? " (Windows; " + reasons[question] + ")" : "") << "\n  actual   "
            << corpus::answerColumns(actual);
        ++compared;
    }
    EXPECT_EQ(compared, static_cast<int>(lookups.size()));
}

// Each documented difference must name a real lookup and really differ from
// what Wine answers, or it hides nothing and should go.
TEST(ProfileDifferential, WindowsDeviationsAreRealLookupsThatDiffer) {
    const auto recorded = corpus::readAnswers(kCorpus + "/answers.txt");
    std::map<std::string, std::string> reasons;
    const auto windows = corpus::readAnswers(kCorpus + "/windows_answers.txt", &reasons);
    for (const auto& [question, answer] : windows) {
        const auto wine = recorded.find(question);
        ASSERT_NE(wine, recorded.end()) << question;
        EXPECT_FALSE(wine->second == answer) << question;
        EXPECT_FALSE(reasons[question].empty()) << question;
    }
}

}  // namespace
