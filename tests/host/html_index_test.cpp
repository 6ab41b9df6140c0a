// check --html over several files: the pages' names and the index page.
#include "commands/html_index.h"

#include <gtest/gtest.h>

namespace talvexhost {
namespace {

std::vector<std::string> names(const std::vector<std::string>& files,
                               const std::function<bool(const std::string&)>& taken = {}) {
    return pageNames(files, taken);
}

TEST(HtmlIndex, PageNamesNeverCollide) {
    // The folder every file shares is left out; same-named files in
    // different folders keep their folder in the name.
    EXPECT_EQ(names({"meshes/a/cat.obj", "meshes/b/cat.obj", "meshes/dog.obj"}),
              (std::vector<std::string>{"a_cat.obj.html", "b_cat.obj.html", "dog.obj.html"}));
    EXPECT_EQ(names({"/m/cat.obj", "/m/cat.ply"}),
              (std::vector<std::string>{"cat.obj.html", "cat.ply.html"}));
    EXPECT_EQ(names({"./m/../cat.obj"}), (std::vector<std::string>{"cat.obj.html"}));
    EXPECT_EQ(names({"../up/cat.obj", "cat.obj"}),
              (std::vector<std::string>{"up_cat.obj.html", "cat.obj.html"}));
    // Names that only separators or case tell apart.
    EXPECT_EQ(names({"x/a_b/c.obj", "x/a/b_c.obj", "x/A/b_C.obj"}),
              (std::vector<std::string>{"a_b_c.obj.html", "a_b_c.obj-2.html", "A_b_C.obj-3.html"}));
    // Never the index, never an input.
    EXPECT_EQ(names({"index"}), (std::vector<std::string>{"index-2.html"}));
    EXPECT_EQ(names({"d/mesh.obj", "d/mesh.obj.html"},
                    [](const std::string& name) { return name == "mesh.obj.html"; }),
              (std::vector<std::string>{"mesh.obj-2.html", "mesh.obj.html.html"}));
    EXPECT_EQ(names({"C:\\m\\a:b?.obj"}).size(), 1u);
    EXPECT_EQ(names({"m/a:b?.obj"}), (std::vector<std::string>{"a_b_.obj.html"}));
    EXPECT_TRUE(names({}).empty());
}

TEST(HtmlIndex, IndexHasARowPerFileAndNoScript) {
    IndexRow good{
        "a/<cat>&.obj", "a_<cat>&#1.obj.html", "120", "58", "0", "0.012000", "0.9876", "ok", ""};
    IndexRow bad{"a/broken.obj", "", "-", "-", "-", "-", "-", "error", "line 3: not a number"};
    const std::string page = htmlIndexPage({good, bad}, "2 files: 1 ok, 0 failed, 1 could not");
    EXPECT_EQ(page.find("<script"), std::string::npos);
    EXPECT_EQ(page.find("http"), std::string::npos);
    EXPECT_NE(
        page.find("<td><a href=\"a_%3Ccat%3E%26%231.obj.html\">a/&lt;cat&gt;&amp;.obj</a></td>"),
        std::string::npos);
    EXPECT_NE(page.find("<td>a/broken.obj</td>"), std::string::npos);
    EXPECT_NE(page.find("error: line 3: not a number</td></tr>"), std::string::npos);
    EXPECT_EQ(page.find("<a ", page.find("a/broken.obj")), std::string::npos);
    EXPECT_NE(page.find("2 files: 1 ok"), std::string::npos);
    std::size_t rows = 0;
    for (std::size_t at = page.find("<tr class="); at != std::string::npos;
         at = page.find("<tr class=", at + 1))
        ++rows;
    EXPECT_EQ(rows, 2u);
}

}  // namespace
}  // namespace talvexhost
