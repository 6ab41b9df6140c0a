// The check page's writer: the codings the page's script decodes, the size
// limit kept by thinning the drawing only, and names that cannot break out
// of the page's data.
#include "report/html_page.h"

#include <gtest/gtest.h>

#include <string>

namespace talvexhost {
namespace {

TEST(HtmlPage, CodesBase64AndVarintsAsThePageDecodesThem) {
    const struct {
        std::string bytes;
        std::string text;
    } base64Cases[] = {{"", ""},
                       {"f", "Zg=="},
                       {"fo", "Zm8="},
                       {"foo", "Zm9v"},
                       {"foobar", "Zm9vYmFy"},
                       {std::string("\xff\xfe\x00", 3), "//4A"},
                       {std::string("\x00\x10\x83\x10\x51\x87", 6), "ABCDEFGH"}};
    for (const auto& c : base64Cases) EXPECT_EQ(base64(c.bytes), c.text) << c.text;

    const struct {
        std::uint64_t value;
        std::string bytes;
    } varintCases[] = {{0, std::string(1, '\0')},
                       {127, "\x7f"},
                       {128, "\x80\x01"},
                       {300, "\xac\x02"},
                       {0xffffffffu, "\xff\xff\xff\xff\x0f"}};
    for (const auto& c : varintCases) {
        std::string out;
        appendVarint(out, c.value);
        EXPECT_EQ(out, c.bytes) << c.value;
    }
}

struct Triangles {
    ReportInput input;
    AsymmetryReport report;
    HtmlPageRequest request;
};

// `vertices` in a row and `faces` triangles over them.
void makeTriangles(Triangles& t, int vertices, int faces, const std::string& name) {
    for (int v = 0; v < vertices; ++v) {
        ReportVertex vertex;
        vertex.number = v + 1;
        vertex.position[0] = v;
        t.input.vertices.push_back(vertex);
    }
    t.input.plane.normal[0] = 1.0;
    t.request.input = &t.input;
    t.request.report = &t.report;
    t.request.reportJson = "{\"file\": \"" + name + "\", \"ambiguous\": {\"starters\": []}}";
    t.request.caption = {name, "plane x = 0"};
    for (int f = 0; f < faces; ++f) {
        t.request.polygons.push_back(3);
        for (int k = 0; k < 3; ++k) t.request.polygons.push_back((f * 7 + k * 13) % vertices);
    }
}

TEST(HtmlPage, ThinsTheDrawingOnlyWhenThePageWouldPassItsLimit) {
    Triangles small;
    makeTriangles(small, 50, 90, "small.obj");
    const HtmlPage whole = htmlPage(small.request);
    EXPECT_EQ(whole.faces, 90u);
    EXPECT_EQ(whole.facesDrawn, 90u);
    EXPECT_LE(whole.text.size(), htmlPageLimit(50));

    // Three vertices allow 1.2 MB; 400 000 triangles take about 2 MB.
    Triangles crowded;
    makeTriangles(crowded, 3, 400000, "crowded.obj");
    const HtmlPage thinned = htmlPage(crowded.request);
    EXPECT_EQ(thinned.faces, 400000u);
    EXPECT_GT(thinned.facesDrawn, 0u);
    EXPECT_LT(thinned.facesDrawn, thinned.faces);
    EXPECT_LE(thinned.text.size(), htmlPageLimit(3));
    // Thinned as little as fits: twice the faces would not.
    EXPECT_GT(thinned.text.size(), htmlPageLimit(3) / 2);
}

TEST(HtmlPage, ANameCannotEndThePagesScripts) {
    Triangles t;
    makeTriangles(t, 4, 2, "a</script><script>alert(1)</script>.obj");
    const std::string& page = htmlPage(t.request).text;
    // The page's own three script elements, and no more.
    std::size_t ends = 0;
    for (std::size_t at = page.find("</script"); at != std::string::npos;
         at = page.find("</script", at + 1))
        ++ends;
    EXPECT_EQ(ends, 3u);
    EXPECT_NE(page.find("a\\u003c/script>\\u003cscript>alert(1)"), std::string::npos);
}

}  // namespace
}  // namespace talvexhost
