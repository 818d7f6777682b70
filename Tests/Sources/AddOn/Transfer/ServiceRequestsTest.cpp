#include "TransferTestSupport.hpp"

#include "Transfer/ServiceRequests.hpp"

#include "MemoryManager.hpp"
#include "Server.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace std::chrono_literals;
using ServiceStandIn::Fault;
using ServiceStandIn::RequestRecord;

// The request functions against the service stand-in on a port of their own.
namespace {

class ServiceRequestsTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(server.Start()); }

    GS::UniString Url(const std::string& path) const { return GS::UniString((server.BaseUrl() + path).c_str()); }
    GS::UniString Local(const std::string& name) const { return ToUniString(files / name); }
    GS::UniString MakeFile(const std::string& name, const std::string& bytes) const {
        WriteFile(files / name, bytes);
        return Local(name);
    }

    TempFolder storage;
    TempFolder files;
    ServiceStandIn::Server server{storage.Path()};
};

// ---- Uploads ----

TEST_F(ServiceRequestsTest, UploadPostsOnePartNamedFileWithBothHeaders) {
    const std::string content = PatternBytes(3u << 20); // several reads of the file, several sends
    const GS::UniString path = MakeFile("model.ifc", content);

    const UploadResult result = UploadFile(Url("/document?folderId=f-1"), "tok.en", path);

    EXPECT_TRUE(result.setUp);
    EXPECT_FALSE(result.refused);
    ASSERT_TRUE(result.completed);
    EXPECT_EQ(result.status, 201);
    EXPECT_TRUE(result.IsHttpSuccess());
    EXPECT_EQ(result.body, R"([{"id":"doc-1","name":"model.ifc"}])");
    const std::vector<RequestRecord> records = server.Requests();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].method, "POST");
    EXPECT_EQ(records[0].path, "/api/document");
    EXPECT_EQ(records[0].query, "folderId=f-1");
    EXPECT_EQ(records[0].clientId, "Quillmar Plugin Archicad");
    EXPECT_EQ(records[0].authorization, "bearer tok.en");
    EXPECT_EQ(records[0].partCount, 1u);
    EXPECT_EQ(records[0].partName, "file");
    EXPECT_EQ(records[0].partFileName, "model.ifc") << "the last component of the path";
    EXPECT_EQ(records[0].size, content.size());
    EXPECT_TRUE(ReadFile(records[0].storedFile) == content);
}

TEST_F(ServiceRequestsTest, BodiesAreDecodedInTheDefaultCodeAndAnEmptyBodyIsEmpty) {
    const GS::UniString path = MakeFile("m.ifc", "ifc");
    server.InjectFault(Fault::AnswerStatus(201, "Gr\xC3\xBC\xC3\x9F"
                                                "e \xE2\x82\xAC"),
                       1);
    EXPECT_EQ(UploadFile(Url("/resource"), "t", path).body, GS::UniString(u"Grüße €"));
    server.InjectFault(Fault::AnswerStatus(200, ""), 1);
    const UploadResult empty = UploadFile(Url("/resource"), "t", path);
    EXPECT_TRUE(empty.completed);
    EXPECT_TRUE(empty.body.IsEmpty());
}

TEST_F(ServiceRequestsTest, ALargeAnswerArrivesWholeAndItsBufferIsFreed) {
    const GS::UniString path = MakeFile("m.ifc", "ifc");
    std::string answer = PatternBytes(256u << 10);
    for (char& c : answer)
        c = static_cast<char>('a' + static_cast<unsigned char>(c) % 26); // text, many write callbacks
    server.InjectFault(Fault::AnswerStatus(201, answer), 1);
    const USize livePtrs = GS::MemoryManager::GetLivePtrCount();

    const UploadResult result = UploadFile(Url("/resource"), "t", path);

    EXPECT_EQ(GS::MemoryManager::GetLivePtrCount(), livePtrs);
    ASSERT_TRUE(result.completed);
    EXPECT_EQ(result.body.GetLength(), answer.size());
    EXPECT_TRUE(result.body.ToCStr().ToString() == answer);
}

TEST_F(ServiceRequestsTest, ARedirectIsFollowedAndTheFileSentAgain) {
    const std::string content = PatternBytes(2u << 20);
    const GS::UniString path = MakeFile("plan.dwg", content);
    for (const int status : {307, 308, 302, 301, 303}) {
        server.ClearRequests();
        server.InjectFault(Fault::Redirect(status), 1);
        const UploadResult result = UploadFile(Url("/document?folderId=f&x=1"), "t", path);
        ASSERT_TRUE(result.completed) << status;
        EXPECT_EQ(result.status, 201) << status;
        const std::vector<RequestRecord> records = server.Requests();
        ASSERT_EQ(records.size(), 2u) << status;
        EXPECT_EQ(records[0].status, status);
        EXPECT_EQ(records[1].method, "POST") << status;
        EXPECT_EQ(records[1].path, "/moved/api/document");
        EXPECT_EQ(records[1].query, "folderId=f&x=1");
        EXPECT_EQ(records[1].authorization, "bearer t");
        EXPECT_EQ(records[1].size, content.size()) << status;
    }
}

TEST_F(ServiceRequestsTest, TransfersThatDoNotCompleteAreFailures) {
    const GS::UniString path = MakeFile("m.ifc", "ifc");
    server.InjectFault(Fault::DropHalfway(), 1);
    const UploadResult dropped = UploadFile(Url("/document?folderId=f"), "t", path);
    EXPECT_TRUE(dropped.setUp);
    EXPECT_FALSE(dropped.completed) << "the answer was cut off half-way";
    EXPECT_FALSE(dropped.IsHttpSuccess());

    const GS::UniString url = Url("/resource");
    server.Stop();
    const UploadResult refused = UploadFile(url, "t", path);
    EXPECT_TRUE(refused.setUp);
    EXPECT_FALSE(refused.completed) << "nobody listens";
    EXPECT_EQ(refused.status, 0);
    EXPECT_TRUE(refused.body.IsEmpty());
}

TEST_F(ServiceRequestsTest, AFileThatCannotBeReadFailsTheTransferWithoutARequest) {
    const UploadResult result = UploadFile(Url("/resource"), "t", Local("missing.png"));
    EXPECT_TRUE(result.setUp) << "a failed transfer, not a request that could not be made";
    EXPECT_FALSE(result.refused);
    EXPECT_FALSE(result.completed);
    EXPECT_EQ(server.RequestCount(), 0u);
}

TEST_F(ServiceRequestsTest, LineBreaksOrNulInTokenUrlOrPathAreRefusedBeforeAnyRequest) {
    const GS::UniString path = MakeFile("m.ifc", "ifc");
    const GS::UniString url = Url("/document?folderId=f");
    const GS::UniString nul(std::u16string(u"t\0X-Injected: 1", 15));
    struct Input {
        GS::UniString url, token, path;
    };
    for (const Input& input : std::vector<Input>{{url, "t\r\nX-Injected: 1", path},
                                                 {url, "t\nX-Injected: 1", path},
                                                 {url, nul, path},
                                                 {url + "\r\nX-Injected: 1", "t", path},
                                                 {url, "t", path + "\n"}}) {
        const UploadResult result = UploadFile(input.url, input.token, input.path);
        EXPECT_TRUE(result.refused);
        EXPECT_FALSE(result.setUp);
        EXPECT_FALSE(result.completed);
    }
    EXPECT_FALSE(DownloadFromURL(Url("/resource/r"), "t\r\nX-Injected: 1", Local("r.ifc")));
    EXPECT_FALSE(DownloadFromURL(Url("/resource/r\n"), "t", Local("r.ifc")));
    EXPECT_FALSE(DownloadFromURL(Url("/resource/r"), "t", Local("r\r.ifc")));
    EXPECT_EQ(server.RequestCount(), 0u) << "nothing reached the server";
    EXPECT_EQ(FolderEntries(files.Path()), std::set<std::string>{"m.ifc"});
}

// ---- Downloads ----

TEST_F(ServiceRequestsTest, DownloadWritesTheTargetAndLeavesNothingElse) {
    const std::string content = PatternBytes(3u << 20, 7);
    WriteFile(storage / "source.bin", content);
    server.AddResourceFile("res-1", storage / "source.bin");

    EXPECT_TRUE(DownloadFromURL(Url("/resource/res-1"), "tok", Local("model.ifc")));

    EXPECT_TRUE(ReadFile(files / "model.ifc") == content);
    EXPECT_EQ(FolderEntries(files.Path()), std::set<std::string>{"model.ifc"});
    ASSERT_EQ(server.RequestCount(), 1u);
    const RequestRecord record = server.Requests()[0];
    EXPECT_EQ(record.method, "GET");
    EXPECT_EQ(record.path, "/api/resource/res-1");
    EXPECT_EQ(record.clientId, "Quillmar Plugin Archicad");
    EXPECT_EQ(record.authorization, "bearer tok");
}

TEST_F(ServiceRequestsTest, DownloadFollowsARedirectAndTakesAChunkedSlowAnswer) {
    server.AddResource("r", "redirected bytes");
    server.InjectFault(Fault::Redirect(302), 1);
    EXPECT_TRUE(DownloadFromURL(Url("/resource/r"), "t", Local("a.ifc")));
    EXPECT_EQ(ReadFile(files / "a.ifc"), "redirected bytes");
    ASSERT_EQ(server.RequestCount(), 2u);
    EXPECT_EQ(server.Requests()[1].path, "/moved/api/resource/r");

    server.InjectFault(Fault::Slow(3, 5ms), 1);
    EXPECT_TRUE(DownloadFromURL(Url("/resource/r"), "t", Local("b.ifc")));
    EXPECT_EQ(ReadFile(files / "b.ifc"), "redirected bytes");
}

TEST_F(ServiceRequestsTest, AnErrorAnswerIsNeverKeptAsTheTarget) {
    EXPECT_FALSE(DownloadFromURL(Url("/resource/unknown"), "t", Local("a.ifc")));
    server.AddResource("r", "model");
    server.InjectFault(Fault::AnswerStatus(500, "<html>internal error</html>", "text/html"), 1);
    EXPECT_FALSE(DownloadFromURL(Url("/resource/r"), "t", Local("a.ifc")));
    EXPECT_EQ(server.RequestCount(), 2u);
    EXPECT_TRUE(FolderEntries(files.Path()).empty()) << "no target and no temporary file";
}

TEST_F(ServiceRequestsTest, ADownloadFailingHalfWayChangesNothingThatWasThere) {
    server.AddResource("r", PatternBytes(1u << 20));
    WriteFile(files / "TempIfcFile.ifc", "an earlier temporary file");
    WriteFile(files / "other.ifc", "another model");
    server.InjectFault(Fault::DropHalfway(), 1);

    EXPECT_FALSE(DownloadFromURL(Url("/resource/r"), "t", Local("model.ifc")));

    EXPECT_EQ(FolderEntries(files.Path()), (std::set<std::string>{"TempIfcFile.ifc", "other.ifc"}));
    EXPECT_EQ(ReadFile(files / "TempIfcFile.ifc"), "an earlier temporary file");
    EXPECT_EQ(ReadFile(files / "other.ifc"), "another model");
}

TEST_F(ServiceRequestsTest, AnExistingTargetIsNeverReplaced) {
    server.AddResource("r", "new");
    WriteFile(files / "model.ifc", "old");
    EXPECT_FALSE(DownloadFromURL(Url("/resource/r"), "t", Local("model.ifc")));
    EXPECT_EQ(ReadFile(files / "model.ifc"), "old");
    EXPECT_EQ(FolderEntries(files.Path()), std::set<std::string>{"model.ifc"});
}

TEST_F(ServiceRequestsTest, WindowsSeparatorsNameTheSameFolder) {
    server.AddResource("r", "model");
    const GS::UniString target = ToUniString(files.Path()) + "\\model.ifc";
    EXPECT_TRUE(DownloadFromURL(Url("/resource/r"), "t", target));
    EXPECT_EQ(ReadFile(files / "model.ifc"), "model");
    EXPECT_EQ(FolderEntries(files.Path()), std::set<std::string>{"model.ifc"});
    EXPECT_EQ(FolderEntries(files.Path().parent_path()).count(files.Path().filename().string() + "\\model.ifc"), 0u);
}

TEST_F(ServiceRequestsTest, TargetsWithoutAUsableFolderMakeNoRequest) {
    server.AddResource("r", "model");
    EXPECT_FALSE(DownloadFromURL(Url("/resource/r"), "t", "model.ifc")) << "no folder to put a temporary file in";
    EXPECT_FALSE(DownloadFromURL(Url("/resource/r"), "t", Local("missing/model.ifc")));
    EXPECT_FALSE(DownloadFromURL(Url("/resource/r"), "t", ""));
    EXPECT_EQ(server.RequestCount(), 0u);
}

} // namespace
