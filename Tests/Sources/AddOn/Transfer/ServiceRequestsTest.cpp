#include "TransferTestSupport.hpp"

#include "Transfer/ServiceRequests.hpp"
#include "Transfer/UploadSource.hpp"

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

TransferOutcome Post(const GS::UniString& url, const GS::UniString& token, const GS::UniString& path) {
    UploadSource file(path);
    return UploadFile(url, token, file);
}

bool Download(const GS::UniString& url, const GS::UniString& token, const GS::UniString& target) {
    return DownloadFromURL(url, token, target).IsHttpSuccess();
}

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

    const TransferOutcome result = Post(Url("/document?folderId=f-1"), "tok.en", path);

    ASSERT_TRUE(result.Completed());
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
    EXPECT_EQ(Post(Url("/resource"), "t", path).body, GS::UniString(u"Grüße €"));
    server.InjectFault(Fault::AnswerStatus(200, ""), 1);
    const TransferOutcome empty = Post(Url("/resource"), "t", path);
    EXPECT_TRUE(empty.Completed());
    EXPECT_TRUE(empty.body.IsEmpty());
}

TEST_F(ServiceRequestsTest, ALargeAnswerArrivesWholeAndItsBufferIsFreed) {
    const GS::UniString path = MakeFile("m.ifc", "ifc");
    std::string answer = PatternBytes(256u << 10);
    for (char& c : answer)
        c = static_cast<char>('a' + static_cast<unsigned char>(c) % 26); // text, many write callbacks
    server.InjectFault(Fault::AnswerStatus(201, answer), 1);
    const USize livePtrs = GS::MemoryManager::GetLivePtrCount();

    const TransferOutcome result = Post(Url("/resource"), "t", path);

    EXPECT_EQ(GS::MemoryManager::GetLivePtrCount(), livePtrs);
    ASSERT_TRUE(result.Completed());
    EXPECT_EQ(result.body.GetLength(), answer.size());
    EXPECT_TRUE(result.body.ToCStr().ToString() == answer);
}

TEST_F(ServiceRequestsTest, ARedirectIsFollowedAndTheFileSentAgain) {
    const std::string content = PatternBytes(2u << 20);
    const GS::UniString path = MakeFile("plan.dwg", content);
    for (const int status : {307, 308, 302, 301, 303}) {
        server.ClearRequests();
        server.InjectFault(Fault::Redirect(status), 1);
        const TransferOutcome result = Post(Url("/document?folderId=f&x=1"), "t", path);
        ASSERT_TRUE(result.Completed()) << status;
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

TEST_F(ServiceRequestsTest, ARedirectToAnotherAddressIsRefusedAndTheTokenStaysHome) {
    TempFolder otherStorage;
    ServiceStandIn::Server other{otherStorage.Path()};
    ASSERT_TRUE(other.Start());
    const GS::UniString path = MakeFile("m.ifc", "ifc");
    for (const std::string& location : {other.BaseUrl() + "/document?folderId=f", std::string("ftp://127.0.0.1/x"),
                                        std::string("file:///etc/passwd")}) {
        server.ClearRequests();
        server.InjectFault(Fault::Redirect(307, location), 1);
        const TransferOutcome upload = Post(Url("/document?folderId=f"), "secret", path);
        EXPECT_EQ(upload.failure, TransferFailure::Redirect) << location;
        EXPECT_EQ(server.RequestCount(), 1u);
        server.InjectFault(Fault::Redirect(302, location), 1);
        EXPECT_FALSE(Download(Url("/resource/r"), "secret", Local("r.ifc"))) << location;
    }
    EXPECT_EQ(other.RequestCount(), 0u) << "nothing, and no token, reached the other address";
    EXPECT_EQ(FolderEntries(files.Path()), std::set<std::string>{"m.ifc"});
}

TEST_F(ServiceRequestsTest, ARedirectLoopEndsAfterFiveRedirects) {
    const std::string content = PatternBytes(1u << 20);
    const GS::UniString path = MakeFile("m.ifc", content);
    server.InjectFault(Fault::Redirect(302, server.BaseUrl() + "/document?folderId=f")); // every request
    const TransferOutcome result = Post(Url("/document?folderId=f"), "t", path);
    EXPECT_EQ(result.failure, TransferFailure::Redirect);
    EXPECT_EQ(server.RequestCount(), 6u) << "the first request and five redirects";
}

TEST_F(ServiceRequestsTest, TransfersThatDoNotCompleteAreFailures) {
    const GS::UniString path = MakeFile("m.ifc", "ifc");
    server.InjectFault(Fault::DropHalfway(), 1);
    const TransferOutcome dropped = Post(Url("/document?folderId=f"), "t", path);
    EXPECT_EQ(dropped.failure, TransferFailure::Transport) << "the answer was cut off half-way";
    EXPECT_FALSE(dropped.message.IsEmpty());
    EXPECT_FALSE(dropped.IsHttpSuccess());

    const GS::UniString url = Url("/resource");
    server.Stop();
    const TransferOutcome refused = Post(url, "t", path);
    EXPECT_EQ(refused.failure, TransferFailure::Transport) << "nobody listens";
    EXPECT_EQ(refused.code, CURLE_COULDNT_CONNECT);
    EXPECT_TRUE(refused.message.Contains("Couldn't connect to server")) << refused.message.ToCStr().Get();
    EXPECT_EQ(refused.status, 0);
    EXPECT_TRUE(refused.body.IsEmpty());
}

TEST_F(ServiceRequestsTest, AFileThatCannotBeReadFailsTheTransferWithoutARequest) {
    const TransferOutcome result = Post(Url("/resource"), "t", Local("missing.png"));
    EXPECT_EQ(result.failure, TransferFailure::LocalFile);
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
        const TransferOutcome result = Post(input.url, input.token, input.path);
        EXPECT_EQ(result.failure, TransferFailure::Refused);
    }
    EXPECT_FALSE(Download(Url("/resource/r"), "t\r\nX-Injected: 1", Local("r.ifc")));
    EXPECT_FALSE(Download(Url("/resource/r\n"), "t", Local("r.ifc")));
    EXPECT_FALSE(Download(Url("/resource/r"), "t", Local("r\r.ifc")));
    EXPECT_EQ(server.RequestCount(), 0u) << "nothing reached the server";
    EXPECT_EQ(FolderEntries(files.Path()), std::set<std::string>{"m.ifc"});
}

// ---- Downloads ----

TEST_F(ServiceRequestsTest, DownloadWritesTheTargetAndLeavesNothingElse) {
    const std::string content = PatternBytes(3u << 20, 7);
    WriteFile(storage / "source.bin", content);
    server.AddResourceFile("res-1", storage / "source.bin");

    EXPECT_TRUE(Download(Url("/resource/res-1"), "tok", Local("model.ifc")));

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
    EXPECT_TRUE(Download(Url("/resource/r"), "t", Local("a.ifc")));
    EXPECT_EQ(ReadFile(files / "a.ifc"), "redirected bytes");
    ASSERT_EQ(server.RequestCount(), 2u);
    EXPECT_EQ(server.Requests()[1].path, "/moved/api/resource/r");

    server.InjectFault(Fault::Slow(3, 5ms), 1);
    EXPECT_TRUE(Download(Url("/resource/r"), "t", Local("b.ifc")));
    EXPECT_EQ(ReadFile(files / "b.ifc"), "redirected bytes");
}

TEST_F(ServiceRequestsTest, AnErrorAnswerIsNeverKeptAsTheTarget) {
    EXPECT_FALSE(Download(Url("/resource/unknown"), "t", Local("a.ifc")));
    server.AddResource("r", "model");
    server.InjectFault(Fault::AnswerStatus(500, "<html>internal error</html>", "text/html"), 1);
    EXPECT_FALSE(Download(Url("/resource/r"), "t", Local("a.ifc")));
    EXPECT_EQ(server.RequestCount(), 2u);
    EXPECT_TRUE(FolderEntries(files.Path()).empty()) << "no target and no temporary file";
}

TEST_F(ServiceRequestsTest, ADownloadFailingHalfWayChangesNothingThatWasThere) {
    server.AddResource("r", PatternBytes(1u << 20));
    WriteFile(files / "TempIfcFile.ifc", "an earlier temporary file");
    WriteFile(files / "other.ifc", "another model");
    server.InjectFault(Fault::DropHalfway(), 1);

    EXPECT_FALSE(Download(Url("/resource/r"), "t", Local("model.ifc")));

    EXPECT_EQ(FolderEntries(files.Path()), (std::set<std::string>{"TempIfcFile.ifc", "other.ifc"}));
    EXPECT_EQ(ReadFile(files / "TempIfcFile.ifc"), "an earlier temporary file");
    EXPECT_EQ(ReadFile(files / "other.ifc"), "another model");
}

TEST_F(ServiceRequestsTest, AnExistingTargetIsNeverReplaced) {
    server.AddResource("r", "new");
    WriteFile(files / "model.ifc", "old");
    EXPECT_FALSE(Download(Url("/resource/r"), "t", Local("model.ifc")));
    EXPECT_EQ(ReadFile(files / "model.ifc"), "old");
    EXPECT_EQ(FolderEntries(files.Path()), std::set<std::string>{"model.ifc"});
}

TEST_F(ServiceRequestsTest, WindowsSeparatorsNameTheSameFolder) {
    server.AddResource("r", "model");
    const GS::UniString target = ToUniString(files.Path()) + "\\model.ifc";
    EXPECT_TRUE(Download(Url("/resource/r"), "t", target));
    EXPECT_EQ(ReadFile(files / "model.ifc"), "model");
    EXPECT_EQ(FolderEntries(files.Path()), std::set<std::string>{"model.ifc"});
    EXPECT_EQ(FolderEntries(files.Path().parent_path()).count(files.Path().filename().string() + "\\model.ifc"), 0u);
}

TEST_F(ServiceRequestsTest, TargetsWithoutAUsableFolderMakeNoRequest) {
    server.AddResource("r", "model");
    EXPECT_FALSE(Download(Url("/resource/r"), "t", "model.ifc")) << "no folder to put a temporary file in";
    EXPECT_FALSE(Download(Url("/resource/r"), "t", Local("missing/model.ifc")));
    EXPECT_FALSE(Download(Url("/resource/r"), "t", ""));
    EXPECT_EQ(server.RequestCount(), 0u);
}

} // namespace
