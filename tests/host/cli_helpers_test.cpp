// The small parsers of the command line: options, plane specifications and
// the compact vertex lists of the reports.
#include <gtest/gtest.h>

#include "pairing/plane_setup.h"
#include "session/cli_args.h"
#include "session/resym_run.h"

namespace talvexhost {
namespace {

TEST(CliArgs, SplitsOptionsValuesAndPositionals) {
    ParsedArgs parsed;
    std::string error;
    ASSERT_TRUE(
        parseArgs({"in.obj", "-o", "out.obj", "--plane=x=0.5", "--quiet", "--", "--odd.obj"},
                  {"-o", "--plane"}, {"--quiet"}, parsed, error))
        << error;
    EXPECT_EQ(parsed.positional, (std::vector<std::string>{"in.obj", "--odd.obj"}));
    EXPECT_EQ(parsed.value("-o"), "out.obj");
    EXPECT_EQ(parsed.value("--plane"), "x=0.5");
    EXPECT_TRUE(parsed.has("--quiet"));

    struct Bad {
        std::vector<std::string> args;
        std::string message;
    };
    const Bad bad[] = {{{"--plane"}, "option --plane needs a value"},
                       {{"--frob"}, "unknown option --frob"},
                       {{"--quiet=1"}, "unknown option --quiet=1"}};
    for (const Bad& b : bad) {
        ParsedArgs p;
        EXPECT_FALSE(parseArgs(b.args, {"--plane"}, {"--quiet"}, p, error));
        EXPECT_EQ(error, b.message);
    }
}

TEST(PlaneSpec, ParsesAxisAndPlace) {
    PlaneSpec spec;
    std::string error;
    ASSERT_TRUE(parsePlaneSpec("Y", spec, error));
    EXPECT_EQ(spec.axis, 1);
    EXPECT_FALSE(spec.atValue);
    ASSERT_TRUE(parsePlaneSpec("z=-0.25", spec, error));
    EXPECT_EQ(spec.axis, 2);
    EXPECT_TRUE(spec.atValue);
    EXPECT_EQ(spec.value, -0.25f);
    EXPECT_EQ(describePlane(spec), "z = -0.25");
    ASSERT_TRUE(parsePlaneSpec("0,-3,4,10", spec, error));
    EXPECT_TRUE(spec.general);
    EXPECT_EQ(spec.axis, 2);  // the normal is most along z
    EXPECT_EQ(describePlane(spec), "0.000000 x - 0.600000 y + 0.800000 z = 2.000000");
    ASSERT_TRUE(parsePlaneSpec("auto", spec, error));
    EXPECT_TRUE(spec.automatic && !spec.general);
    for (const char* bad :
         {"", "w", "x0", "x=", "x=abc", "xy", "1,2,3", "1,2,3,4,5", "0,0,0,1", "1,,0,0", "Auto"})
        EXPECT_FALSE(parsePlaneSpec(bad, spec, error)) << bad;
}

TEST(PlaneFrame, MirrorsAndMeasuresLikeThePlugin) {
    // The plug-in's X plane through x = 2: normal along -x.
    HostPlane plane{{-4.0, 0.0, 0.0}, {2.0, 0.0, 0.0}};
    const Vector3 p(3.0f, 5.0f, 7.0f);
    double image[3];
    plane.mirror(p, image);
    EXPECT_EQ(image[0], 1.0);
    EXPECT_EQ(image[1], 5.0);
    EXPECT_EQ(plane.signedDistance(p, 0), 1.0);  // +x side, whatever the normal's sign
    EXPECT_EQ(plane.signedDistance(Vector3(0.5f, 0.0f, 0.0f), 0), -1.5);
}

TEST(CompactList, JoinsRunsOfNumbers) {
    EXPECT_EQ(compactList({}), "");
    EXPECT_EQ(compactList({"1", "2", "3", "5", "7", "8", "obj:2", "9"}), "1-3, 5, 7, 8, obj:2, 9");
    EXPECT_EQ(compactList({"4"}), "4");
}

}  // namespace
}  // namespace talvexhost
