#include "TransferTestSupport.hpp"

#include "BuildConfig.hpp"
#include "KeepInMemory.hpp"
#include "Transfer/FolderFiles.hpp"
#include "Transfer/ServiceRequests.hpp"
#include "Transfer/TransferJobs.hpp"

#include "Location.hpp"
#include "MemoryManager.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <ostream>
#include <string>
#include <vector>

namespace {

// ---- ParseFirstDocumentId ----

struct BodyCase {
    const char* body;
    const char* id;
};

void PrintTo(const BodyCase& c, std::ostream* os) {
    *os << "body " << ::testing::PrintToString(std::string(c.body));
}

class ParseFirstDocumentIdTest : public ::testing::TestWithParam<BodyCase> {};

TEST_P(ParseFirstDocumentIdTest, GivesTheFirstObjectsStringIdOrNothing) {
    EXPECT_EQ(ParseFirstDocumentId(GS::UniString(GetParam().body)), GS::UniString(GetParam().id))
        << "body: " << GetParam().body;
}

INSTANTIATE_TEST_SUITE_P(
    Bodies, ParseFirstDocumentIdTest,
    ::testing::Values(BodyCase{R"([{"id":"x"}])", "x"},                                        // the service's answer
                      BodyCase{R"([{"id":"doc-1","name":"m.ifc"},{"id":"doc-2"}])", "doc-1"},  // the first only
                      BodyCase{R"([{"name":"m","id":"\u00e9t\u00e9"}])", "\xC3\xA9t\xC3\xA9"}, // escapes decoded
                      BodyCase{R"([{"id":""}])", ""},                                          // an empty id is no id
                      BodyCase{"[]", ""},                                                      // empty array
                      BodyCase{"", ""},                                                        // empty body
                      BodyCase{"not json", ""},                                                // unparsable
                      BodyCase{R"([{"id":"x"})", ""},                                          // cut short
                      BodyCase{R"({"id":"x"})", ""},                                           // object, not array
                      BodyCase{R"("x")", ""},                                                  // string
                      BodyCase{"42", ""},                                                      // number
                      BodyCase{R"(["x"])", ""},                                                // first element a string
                      BodyCase{R"([["x"]])", ""},                                              // first element an array
                      BodyCase{R"([null,{"id":"x"}])", ""},  // a later object does not count
                      BodyCase{R"([{"name":"x"}])", ""},     // no id
                      BodyCase{R"([{"ID":"x"}])", ""},       // keys are case-sensitive
                      BodyCase{R"([{"id":7}])", ""},         // id a number
                      BodyCase{R"([{"id":null}])", ""},      // id null
                      BodyCase{R"([{"id":true}])", ""},      // id a boolean
                      BodyCase{R"([{"id":{"v":"x"}}])", ""}, // id an object
                      BodyCase{R"([{"id":["x"]}])", ""}));   // id an array

// ---- AppendResponseData ----

TEST(AppendResponseData, ChunksFollowEachOtherAndStayTerminated) {
    const USize livePtrs = GS::MemoryManager::GetLivePtrCount();
    {
        ResponseBuffer buffer;
        char first[] = "[{\"id\":";
        char second[] = "\"doc-1\"}]";
        EXPECT_EQ(AppendResponseData(first, 1, 7, &buffer), 7u);
        ASSERT_NE(buffer.data, nullptr);
        EXPECT_EQ(buffer.length, 7u);
        EXPECT_EQ(buffer.data[7], '\0');
        EXPECT_EQ(AppendResponseData(second, 1, 9, &buffer), 9u);
        EXPECT_EQ(buffer.length, 16u);
        EXPECT_EQ(std::string(buffer.data), "[{\"id\":\"doc-1\"}]");
        EXPECT_EQ(GS::MemoryManager::GetLivePtrCount(), livePtrs + 1) << "one block, grown in place or moved";
    }
    EXPECT_EQ(GS::MemoryManager::GetLivePtrCount(), livePtrs) << "the buffer frees its block";
}

TEST(AppendResponseData, ItemSizeTimesCountIsTakenAndManyChunksAddUp) {
    const std::string body = PatternBytes(100000);
    ResponseBuffer buffer;
    std::size_t offset = 0;
    std::size_t chunk = 1;
    while (offset < body.size()) {
        const std::size_t take = std::min(chunk, body.size() - offset);
        std::string piece = body.substr(offset, take);
        ASSERT_EQ(AppendResponseData(piece.data(), 1, take, &buffer), take);
        offset += take;
        chunk = chunk * 3 + 1; // sizes that never line up with a growth step
    }
    char pairs[] = "abcdef";
    EXPECT_EQ(AppendResponseData(pairs, 2, 3, &buffer), 6u) << "size x count bytes";
    ASSERT_EQ(buffer.length, body.size() + 6);
    EXPECT_EQ(std::memcmp(buffer.data, body.data(), body.size()), 0);
    EXPECT_EQ(std::string(buffer.data + body.size()), "abcdef");
}

TEST(AppendResponseData, SizesThatDoNotFitFailAndLeaveTheBufferAsItWas) {
    ResponseBuffer buffer;
    char some[] = "abc";
    ASSERT_EQ(AppendResponseData(some, 1, 3, &buffer), 3u);
    const char* before = buffer.data;
    // size x count overflows; and a length that, with the terminator, wraps around.
    EXPECT_EQ(AppendResponseData(some, SIZE_MAX / 2, 3, &buffer), 0u);
    EXPECT_EQ(AppendResponseData(some, SIZE_MAX - 2, 1, &buffer), 0u);
    EXPECT_EQ(AppendResponseData(some, 1, SIZE_MAX - 3, &buffer), 0u);
    EXPECT_EQ(buffer.data, before);
    EXPECT_EQ(buffer.length, 3u);
    EXPECT_EQ(std::string(buffer.data), "abc");
}

TEST(AppendResponseData, GrowthThatMemoryRefusesFailsTheTransfer) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "the sanitizers' allocators abort on impossible sizes instead of answering null";
#else
    ResponseBuffer buffer;
    char some[] = "abc";
    ASSERT_EQ(AppendResponseData(some, 1, 3, &buffer), 3u);
    const std::size_t impossible = SIZE_MAX / 2; // no allocator hands this out
    EXPECT_EQ(AppendResponseData(some, impossible, 1, &buffer), 0u);
    EXPECT_EQ(buffer.length, 3u);
    EXPECT_EQ(std::string(buffer.data), "abc") << "the old block stays valid";
#endif
}

// ---- Header lines and unsafe texts ----

TEST(RequestHeaders, ClientIdentificationAndBearerAuthorization) {
    EXPECT_EQ(GetClientIdHeader(), "Quillmar-Client-Id: Quillmar Plugin Archicad");
    EXPECT_EQ(GetAuthorizationHeader("abc.DEF-1"), "X-Project-Authorization: bearer abc.DEF-1");
    EXPECT_EQ(GetAuthorizationHeader(""), "X-Project-Authorization: bearer ");
    const BaseExport job(nullptr, "t 1", "p", "/x");
    EXPECT_EQ(job.GetClientIdHeader(), GetClientIdHeader());
    EXPECT_EQ(job.GetAuthorizationHeader(), "X-Project-Authorization: bearer t 1") << "the token exactly as received";
}

TEST(RequestHeaders, LineBreaksAndNulAreUnsafeEverythingElseIsNot) {
    EXPECT_TRUE(IsSafeRequestText(""));
    EXPECT_TRUE(IsSafeRequestText("eyJhbGciOi.J9 &?=#%\t\xC3\xA9"));
    EXPECT_FALSE(IsSafeRequestText("token\r\nX-Injected: 1"));
    EXPECT_FALSE(IsSafeRequestText("token\n"));
    EXPECT_FALSE(IsSafeRequestText("\rtoken"));
    EXPECT_FALSE(IsSafeRequestText(GS::UniString(std::u16string(u"tok\0en", 6))));
}

// ---- Job addresses and keep-in-memory requests ----

TEST(TransferJobs, UploadAddressesCarryTheFolderIdPercentEncoded) {
    const std::string base = ApiBaseURL;
    EXPECT_EQ(BaseExport(nullptr, "t", "p", "/x").GetRequestURL(), "");
    EXPECT_EQ(ExportIFC(nullptr, "t", "p", "a&b=c", "/x.ifc").GetRequestURL(),
              GS::UniString(base + "/document?folderId=a%26b%3Dc"));
    EXPECT_EQ(ExportPlan(nullptr, "t", "p", "f%20 1", "/x.pdf").GetRequestURL(),
              GS::UniString(base + "/document?folderId=f%2520%201"));
    EXPECT_EQ(ExportPublishSet(nullptr, "t", "p", 1, 0, "Az09-._~", "/x.pdf").GetRequestURL(),
              GS::UniString(base + "/document?folderId=Az09-._~"));
    EXPECT_EQ(ExportSnapshot(nullptr, "t", "p", "/x.png").GetRequestURL(), GS::UniString(base + "/resource"));
}

TEST(TransferJobs, EncodingLeavesOnlyUnreservedCharactersAsTheyAre) {
    EXPECT_EQ(EncodeURLComponent(""), "");
    EXPECT_EQ(EncodeURLComponent("abcXYZ019-._~"), "abcXYZ019-._~");
    EXPECT_EQ(EncodeURLComponent("#?&=/+ %"), "%23%3F%26%3D%2F%2B%20%25");
    EXPECT_EQ(EncodeURLComponent(u"ü€"), "%C3%BC%E2%82%AC"); // the bytes of the default character code
}

TEST(TransferJobs, RedirectsStayOnSchemeHostAndPort) {
    EXPECT_TRUE(IsSameOriginRedirect("http://h:1/api/a", "http://h:1/moved/b?x=1"));
    EXPECT_TRUE(IsSameOriginRedirect("https://h/api", "https://h:443/other"));
    EXPECT_FALSE(IsSameOriginRedirect("http://h:1/api", "http://h:2/api"));
    EXPECT_FALSE(IsSameOriginRedirect("http://h:1/api", "http://g:1/api"));
    EXPECT_FALSE(IsSameOriginRedirect("http://h/api", "https://h/api"));
    EXPECT_FALSE(IsSameOriginRedirect("ftp://h/api", "ftp://h/x"));
    EXPECT_FALSE(IsSameOriginRedirect("http://h/api", "not a url"));
}

TEST(TransferJobs, EveryJobHoldsAKeepInMemoryRequestForItsLifetime) {
    const unsigned before = GetKeepInMemoryRequestCount();
    {
        ExportIFC ifc(nullptr, "t", "p", "f", "/x");
        ExportPlan plan(nullptr, "t", "p", "f", "/x");
        ExportSnapshot snapshot(nullptr, "t", "p", "/x");
        ImportIFC import("t", "r", "/x");
        WatchThread watcher(nullptr, {}, {});
        EXPECT_EQ(GetKeepInMemoryRequestCount(), before + 5);
    }
    EXPECT_EQ(GetKeepInMemoryRequestCount(), before);
}

// ---- ListFolderFiles ----

class ListFolderFilesTest : public ::testing::Test {
protected:
    IO::Location Root() const { return IO::Location(ToUniString(folder.Path())); }
    TempFolder folder;
};

std::vector<std::string> Names(const GS::Array<GS::UniString>& names) {
    std::vector<std::string> result;
    for (const GS::UniString& name : names)
        result.push_back(name.ToCStr().ToString());
    return result;
}

TEST_F(ListFolderFilesTest, SubfoldersAreWalkedOnlyWhenAsked) {
    WriteFile(folder / "direct.pdf", "d");
    std::filesystem::create_directory(folder / "sub");
    WriteFile(folder / "sub" / "nested.pdf", "n");

    EXPECT_EQ(Names(ListFolderFiles(Root(), false)), std::vector<std::string>{"direct.pdf"});
    EXPECT_EQ(Names(ListFolderFiles(Root(), true)), (std::vector<std::string>{"direct.pdf", "nested.pdf"}))
        << "names only, never paths";
}

TEST_F(ListFolderFilesTest, DirectFilesAllComeEvenWhenASubfolderSortsFirst) {
    std::filesystem::create_directory(folder / "a-sub");
    WriteFile(folder / "a-sub" / "inner.dwg", "i");
    WriteFile(folder / "b.dwg", "b");
    WriteFile(folder / "c.dwg", "c");
    std::filesystem::create_directories(folder / "z" / "deeper");
    WriteFile(folder / "z" / "deeper" / "deep.dwg", "x");

    EXPECT_EQ(Names(ListFolderFiles(Root(), false)), (std::vector<std::string>{"b.dwg", "c.dwg"}));
    EXPECT_EQ(Names(ListFolderFiles(Root(), true)),
              (std::vector<std::string>{"b.dwg", "c.dwg", "inner.dwg", "deep.dwg"}));
}

TEST_F(ListFolderFilesTest, EmptyMissingAndNonFolderLocationsGiveNothing) {
    EXPECT_TRUE(ListFolderFiles(Root(), true).IsEmpty());
    std::filesystem::create_directory(folder / "only-folders");
    EXPECT_TRUE(ListFolderFiles(IO::Location(ToUniString(folder / "only-folders")), false).IsEmpty());
    EXPECT_TRUE(ListFolderFiles(IO::Location(ToUniString(folder / "missing")), false).IsEmpty());
    EXPECT_TRUE(ListFolderFiles(IO::Location(ToUniString(folder / "missing")), true).IsEmpty());
    WriteFile(folder / "plain.txt", "p");
    EXPECT_TRUE(ListFolderFiles(IO::Location(ToUniString(folder / "plain.txt")), true).IsEmpty());
    EXPECT_TRUE(ListFolderFiles(IO::Location(), true).IsEmpty());
}

} // namespace
