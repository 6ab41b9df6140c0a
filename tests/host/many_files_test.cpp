// The name patterns --include takes, which pick the files of a folder.
#include <gtest/gtest.h>

#include "commands/mesh_file_list.h"

namespace talvexhost {
namespace {

TEST(ManyFiles, IncludePatternsMatchWholeNames) {
    EXPECT_TRUE(globMatches("*.obj", "a.obj"));
    EXPECT_TRUE(globMatches("*.obj", ".obj"));
    EXPECT_FALSE(globMatches("*.obj", "a.obj.bak"));
    EXPECT_FALSE(globMatches("*.obj", "a.OBJ"));
    EXPECT_TRUE(globMatches("suzanne_L?.obj", "suzanne_L0.obj"));
    EXPECT_FALSE(globMatches("suzanne_L?.obj", "suzanne_L10.obj"));
    EXPECT_FALSE(globMatches("suzanne_L?.obj", "suzanne_L.obj"));
    // A star that must give back what it took.
    EXPECT_TRUE(globMatches("*a*b", "xaYbZab"));
    EXPECT_TRUE(globMatches("a*b*c", "abbbcbc"));
    EXPECT_FALSE(globMatches("a*b*c", "abbbcb"));
    EXPECT_TRUE(globMatches("**", ""));
    EXPECT_TRUE(globMatches("", ""));
    EXPECT_FALSE(globMatches("", "a"));
    EXPECT_FALSE(globMatches("a*", "ba"));
}

}  // namespace
}  // namespace talvexhost
