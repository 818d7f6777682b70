#include "ResourceCompiler.hpp"
#include "TempFolder.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace {

namespace fs = std::filesystem;
using RS::Compiler::CompileError;
using ::testing::HasSubstr;

// Each test writes its resource files into a fresh folder, with copies of the two test images.
class ResourceCompiler : public ::testing::Test {
protected:
    QuillmarTest::TempFolder temp;
    const fs::path folder = temp.Path();

    void SetUp() override {
        fs::create_directories(folder / "Images");
        fs::copy_file(fs::path(RS_TEST_DATA_DIR) / "Images" / "Wide_5x3.png", folder / "Images" / "Wide_5x3.png");
        fs::copy_file(fs::path(RS_TEST_DATA_DIR) / "Images" / "Wide_10x6.png", folder / "Images" / "Wide_10x6.png");
    }

    fs::path Write(const std::string& name, const std::string& text) {
        const fs::path path = folder / name;
        std::ofstream(path, std::ios::binary) << text;
        return path;
    }

    RS::Compiler::Compilation CompileText(const std::string& json, const RS::Compiler::IdTable& ids = {}) {
        return RS::Compiler::Compile({Write("r.json", json)}, ids);
    }

    // The message of the CompileError that compiling the text raises; fails the test when it compiles.
    std::string ErrorOf(const std::string& json, const RS::Compiler::IdTable& ids = {}) {
        try {
            CompileText(json, ids);
        } catch (const CompileError& error) {
            return error.what();
        }
        ADD_FAILURE() << "compiled: " << json;
        return {};
    }

    static std::string Icon(const std::string& file, int width, int height, int id = 1) {
        return R"({"icons": [{"id": )" + std::to_string(id) + R"(, "images": [{"file": ")" + file + R"(", "width": )" +
               std::to_string(width) + R"(, "height": )" + std::to_string(height) + R"(, "dpi": 96}]}]})";
    }

    static std::string Dialog(const std::string& item) {
        return R"({"dialogs": [{"id": 1, "type": "modal", "title": "T", "width": 100, "height": 50, "items": [)" +
               item + "]}]}";
    }
};

TEST_F(ResourceCompiler, CompilesEveryKindOfResource) {
    const auto compilation = CompileText(R"({
        "stringLists": [{"id": "LIST", "strings": ["a", ""]}],
        "dialogs": [{"id": 2, "type": "palette", "title": "P", "width": 10, "height": 10, "name": "N",
                     "displayName": "D", "items": [{"type": "browser", "x": 0, "y": 0, "width": 10, "height": 10}]}],
        "icons": [{"id": 3, "images": [{"file": "Images/Wide_5x3.png", "width": 5, "height": 3, "dpi": 96}]}],
        "addOnIdentifications": [{"id": 2, "developerId": 4294967295, "localId": 0}]
    })",
                                         {{"LIST", 32767}});
    const auto& contents = compilation.contents;
    ASSERT_EQ(contents.stringLists.size(), 1u);
    EXPECT_EQ(contents.stringLists[0].id, 32767);
    EXPECT_EQ(contents.stringLists[0].strings, (std::vector<std::string>{"a", ""}));
    ASSERT_EQ(contents.dialogs.size(), 1u);
    EXPECT_EQ(contents.dialogs[0].rect, (RS::Image::Rect{0, 0, 10, 10}));
    EXPECT_EQ(contents.dialogs[0].displayName, "D");
    ASSERT_EQ(contents.icons.size(), 1u);
    EXPECT_EQ(contents.icons[0].images[0].png.size(), fs::file_size(folder / "Images" / "Wide_5x3.png"));
    EXPECT_EQ(contents.identifications[0].developerId, 4294967295u);
    EXPECT_THAT(compilation.dependencies,
                ::testing::ElementsAre(fs::absolute(folder / "r.json"), fs::absolute(folder / "Images/Wide_5x3.png")));
}

TEST_F(ResourceCompiler, UnknownAndMissingKeysAreErrorsWithTheirPlace) {
    EXPECT_THAT(ErrorOf(R"({"strings": []})"), HasSubstr("unknown key \"strings\""));
    EXPECT_THAT(ErrorOf(R"({"stringLists": [{"id": 1, "strings": ["a"], "comment": "x"}]})"),
                HasSubstr("at /stringLists/0: unknown key \"comment\""));
    EXPECT_THAT(ErrorOf(Dialog(R"({"type": "button", "x": 0, "y": 0, "widht": 5, "height": 5})")),
                HasSubstr("at /dialogs/0/items/0: unknown key \"widht\""));
    EXPECT_THAT(ErrorOf(Dialog(R"({"type": "button", "x": 0, "width": 5, "height": 5})")),
                HasSubstr("at /dialogs/0/items/0: missing key \"y\""));
    EXPECT_THAT(ErrorOf(R"({"addOnIdentifications": [{"id": 1, "developerId": 1}]})"),
                HasSubstr("missing key \"localId\""));
    EXPECT_THAT(ErrorOf("[]"), HasSubstr("expected an object"));
}

TEST_F(ResourceCompiler, ValuesMustHaveTheirTypeAndRange) {
    EXPECT_THAT(ErrorOf(R"({"stringLists": [{"id": 1, "strings": ["a", 2]}]})"),
                HasSubstr("at /stringLists/0/strings/1: expected a string"));
    EXPECT_THAT(ErrorOf(R"({"stringLists": [{"id": 1, "strings": []}]})"), HasSubstr("at least one element"));
    EXPECT_THAT(ErrorOf(R"({"stringLists": [{"id": 1, "strings": "a"}]})"), HasSubstr("expected an array"));
    EXPECT_THAT(ErrorOf(Dialog(R"({"type": "button", "x": 0, "y": 0, "width": "5", "height": 5})")),
                HasSubstr("/width: expected an integer"));
    EXPECT_THAT(ErrorOf(Dialog(R"({"type": "button", "x": 0, "y": 0, "width": 5.5, "height": 5})")),
                HasSubstr("/width: expected an integer"));
    EXPECT_THAT(ErrorOf(Dialog(R"({"type": "button", "x": true, "y": 0, "width": 5, "height": 5})")),
                HasSubstr("/x: expected an integer"));
    EXPECT_THAT(ErrorOf(Dialog(R"({"type": "button", "x": 0, "y": 0, "width": 0, "height": 5})")),
                HasSubstr("/width: value 0 outside 1..32767"));
    EXPECT_THAT(ErrorOf(Dialog(R"({"type": "button", "x": -1, "y": 0, "width": 5, "height": 5})")),
                HasSubstr("/x: value -1 outside"));
    EXPECT_THAT(ErrorOf(Dialog(R"({"type": "combo", "x": 0, "y": 0, "width": 5, "height": 5})")),
                HasSubstr("unknown type \"combo\""));
    EXPECT_THAT(ErrorOf(R"({"addOnIdentifications": [{"id": 1, "developerId": 4294967296, "localId": 0}]})"),
                HasSubstr("/developerId: value 4294967296 outside 0..4294967295"));
    EXPECT_THAT(ErrorOf(R"({"addOnIdentifications": [{"id": 1, "developerId": 1, "localId": -1}]})"),
                HasSubstr("/localId: value -1 outside"));
    EXPECT_THAT(ErrorOf(R"({"stringLists": [{"id": 1, "strings": ["a"]},)"), HasSubstr("invalid JSON"));
    EXPECT_THAT(ErrorOf(Dialog(R"({"type": "button", "x": 0, "y": 0, "width": 5, "height": 5, "lengthLimit": 3})")),
                HasSubstr("/lengthLimit: only text edits have one"));
    EXPECT_THAT(ErrorOf(Dialog(R"({"type": "textEdit", "x": 0, "y": 0, "width": 5, "height": 5, "lengthLimit": 0})")),
                HasSubstr("/lengthLimit: value 0 outside 1..65535"));
    const auto limited =
        CompileText(Dialog(R"({"type": "textEdit", "x": 0, "y": 0, "width": 5, "height": 5, "lengthLimit": 65535})"));
    EXPECT_EQ(limited.contents.dialogs[0].items[0].lengthLimit, 65535u);
}

TEST_F(ResourceCompiler, ItemsMustLieInsideTheirDialog) {
    // The dialog is 100 x 50: an item may touch its right and bottom edge but not cross them.
    EXPECT_NO_THROW(CompileText(Dialog(R"({"type": "button", "x": 90, "y": 40, "width": 10, "height": 10})")));
    EXPECT_THAT(ErrorOf(Dialog(R"({"type": "button", "x": 91, "y": 40, "width": 10, "height": 10})")),
                HasSubstr("at /dialogs/0/items/0: item reaches outside the dialog's 100 x 50"));
    EXPECT_THAT(ErrorOf(Dialog(R"({"type": "button", "x": 0, "y": 41, "width": 10, "height": 10})")),
                HasSubstr("outside the dialog"));
}

TEST_F(ResourceCompiler, IdsAreNamesOfTheHeaderOrNumbersInRange) {
    EXPECT_EQ(CompileText(R"({"stringLists": [{"id": 1, "strings": ["a"]}]})").contents.stringLists[0].id, 1);
    EXPECT_THAT(ErrorOf(R"({"stringLists": [{"id": 0, "strings": ["a"]}]})"), HasSubstr("/id: value 0 outside"));
    EXPECT_THAT(ErrorOf(R"({"stringLists": [{"id": 32768, "strings": ["a"]}]})"), HasSubstr("outside 1..32767"));
    EXPECT_THAT(ErrorOf(R"({"stringLists": [{"id": "ID_MISSING", "strings": ["a"]}]})", {{"ID_OTHER", 5}}),
                HasSubstr("unknown id name \"ID_MISSING\""));
    EXPECT_THAT(ErrorOf(R"({"stringLists": [{"id": "ID_BIG", "strings": ["a"]}]})", {{"ID_BIG", 40000}}),
                HasSubstr("\"ID_BIG\" is 40000"));
    EXPECT_THAT(ErrorOf(R"({"stringLists": [{"id": [1], "strings": ["a"]}]})"),
                HasSubstr("expected an id name or an integer"));
}

TEST_F(ResourceCompiler, IdsAreUniquePerResourceTypeAcrossFiles) {
    const auto first = Write("first.json", R"({"stringLists": [{"id": 5, "strings": ["a"]}]})");
    const auto otherType = Write("other.json", Icon("Images/Wide_5x3.png", 5, 3, 5));
    EXPECT_NO_THROW(RS::Compiler::Compile({first, otherType}, {}));

    const auto second = Write("second.json", R"({"stringLists": [{"id": 5, "strings": ["b"]}]})");
    try {
        RS::Compiler::Compile({first, second}, {});
        ADD_FAILURE() << "duplicate id compiled";
    } catch (const CompileError& error) {
        EXPECT_THAT(error.what(), HasSubstr(second.string() +
                                            ": error: at /stringLists/0/id: string list 5 is "
                                            "already defined in " +
                                            first.string()));
    }
}

TEST_F(ResourceCompiler, ImagesMustExistBeValidPngAndHaveTheDeclaredSize) {
    EXPECT_NO_THROW(CompileText(Icon("Images/Wide_10x6.png", 10, 6)));
    EXPECT_THAT(ErrorOf(Icon("Images/Missing.png", 5, 3)), HasSubstr("cannot read image file"));
    EXPECT_THAT(ErrorOf(Icon("Images/Wide_5x3.png", 3, 5)), HasSubstr("Wide_5x3.png is 5 x 3 pixels, declared 3 x 5"));

    Write("Images/Text.png", "not an image");
    EXPECT_THAT(ErrorOf(Icon("Images/Text.png", 5, 3)), HasSubstr("is not a valid PNG file"));

    // A damaged pixel stream passes a header check; only decoding the image finds it.
    std::ifstream in(folder / "Images" / "Wide_10x6.png", std::ios::binary);
    std::string png((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    png[png.size() - 16] = static_cast<char>(png[png.size() - 16] ^ 0x5A); // inside IDAT
    Write("Images/Damaged.png", png);
    EXPECT_THAT(ErrorOf(Icon("Images/Damaged.png", 10, 6)), HasSubstr("is not a valid PNG file"));
}

class ResourceIdHeader : public ResourceCompiler {
protected:
    std::string HeaderError(const std::string& text) {
        try {
            RS::Compiler::ReadIdHeader(Write("ids.hpp", text));
        } catch (const CompileError& error) {
            return error.what();
        }
        ADD_FAILURE() << "read: " << text;
        return {};
    }
};

TEST_F(ResourceIdHeader, ReadsNumbersAndAliasesAndSkipsTheRest) {
    const auto ids = RS::Compiler::ReadIdHeader(Write("ids.hpp", "#ifndef GUARD\n#define GUARD\n"
                                                                 "// #define COMMENTED 1 is still a define line\n"
                                                                 "#define ID_A 32500 // trailing comment\n"
                                                                 "  #  define   ID_B\tID_A\n"
                                                                 "int notADefine = 3;\n"
                                                                 "#define ID_MAX 2147483647\n#endif\n"));
    EXPECT_EQ(ids, (RS::Compiler::IdTable{{"ID_A", 32500}, {"ID_B", 32500}, {"ID_MAX", 2147483647}}));
}

TEST_F(ResourceIdHeader, RefusesWhatItCannotEvaluate) {
    EXPECT_THAT(HeaderError("#define A 1\n#define B C\n"), HasSubstr("ids.hpp:2: error: \"C\" is not defined above"));
    EXPECT_THAT(HeaderError("#define A (1 + 2)\n"), HasSubstr("unsupported value \"(1 + 2)\""));
    EXPECT_THAT(HeaderError("#define A 0x10\n"), HasSubstr("unsupported value"));
    EXPECT_THAT(HeaderError("#define A 1\n#define A 2\n"), HasSubstr("\"A\" is defined twice"));
    EXPECT_THAT(HeaderError("#define A 2147483648\n"), HasSubstr("does not fit 32 bits"));
    EXPECT_THROW(RS::Compiler::ReadIdHeader(folder / "none.hpp"), CompileError);
}

TEST(ResourceCompilerOutput, DepfileEscapesSpaces) {
    EXPECT_EQ(RS::Compiler::GenerateDepfile("out dir/x.cpp", {"/a b/r.json", "/c.png"}),
              "out\\ dir/x.cpp: \\\n  /a\\ b/r.json \\\n  /c.png\n");
}

// The executable as the build runs it: a mistake is exit code 1 with the message, and no output file.
TEST_F(ResourceCompiler, ExecutableFailsTheBuildOnAMistake) {
    const auto input = Write("bad.json", R"({"stringLists": [{"id": 1, "strings": ["a"], "extra": 1}]})");
    const fs::path output = folder / "out.cpp";
    const fs::path errors = folder / "errors.txt";
    const std::string command = std::string("'") + RESOURCE_COMPILER_PATH + "' --output '" + output.string() + "' '" +
                                input.string() + "' 2>'" + errors.string() + "'";
    const int status = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 1);
    EXPECT_FALSE(fs::exists(output));
    std::ifstream in(errors);
    std::stringstream message;
    message << in.rdbuf();
    EXPECT_THAT(message.str(), HasSubstr("bad.json: error: at /stringLists/0: unknown key \"extra\""));
}

TEST_F(ResourceCompiler, ExecutableWritesSourceAndDepfile) {
    const auto input = Write("good.json", Icon("Images/Wide_5x3.png", 5, 3));
    const auto ids = Write("ids.hpp", "#define ID_X 3\n");
    const fs::path output = folder / "out.cpp";
    const std::string command = std::string("'") + RESOURCE_COMPILER_PATH + "' --ids '" + ids.string() +
                                "' --output '" + output.string() + "' --depfile '" + output.string() + ".d' '" +
                                input.string() + "'";
    ASSERT_EQ(std::system(command.c_str()), 0);
    EXPECT_TRUE(fs::exists(output));
    std::ifstream in(output.string() + ".d");
    std::stringstream depfile;
    depfile << in.rdbuf();
    EXPECT_THAT(depfile.str(), HasSubstr("Images/Wide_5x3.png"));
    EXPECT_THAT(depfile.str(), HasSubstr("ids.hpp"));
}

} // namespace
