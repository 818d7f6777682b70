#include "ServiceClient.hpp"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <fstream>
#include <mutex>

using ServiceStandIn::RequestRecord;

namespace {

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool UnderSanitizer = true; // their allocators keep freed memory resident
#else
constexpr bool UnderSanitizer = false;
#endif

// Linux: restarts the peak resident size (VmHWM) from the current one.
bool ResetPeakResident() {
    std::ofstream clear("/proc/self/clear_refs");
    clear << "5";
    clear.flush();
    return bool(clear);
}

long PeakResidentKiB() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.starts_with("VmHWM:")) return std::stol(line.substr(6));
    }
    return -1;
}

using ServiceUploadTest = ServerTest;

TEST_F(ServiceUploadTest, DocumentIsStoredByteExactAndAnsweredWithItsIdAndName) {
    const std::string content = PatternBytes(100000);
    const Reply reply = Upload("/document?folderId=folder-7", content, "House.ifc");

    ASSERT_EQ(reply.code, CURLE_OK);
    EXPECT_EQ(reply.status, 201);
    EXPECT_EQ(nlohmann::json::parse(reply.body), nlohmann::json::parse(R"([{"id":"doc-1","name":"House.ifc"}])"));
    const std::vector<RequestRecord> records = server.Requests();
    ASSERT_EQ(records.size(), 1u);
    const RequestRecord& record = records[0];
    EXPECT_EQ(record.method, "POST");
    EXPECT_EQ(record.path, "/api/document");
    EXPECT_EQ(record.query, "folderId=folder-7");
    EXPECT_EQ(record.clientId, "Quillmar Plugin Archicad");
    EXPECT_EQ(record.authorization, "bearer token-1");
    EXPECT_EQ(record.partCount, 1u);
    EXPECT_EQ(record.partName, "file");
    EXPECT_EQ(record.partFileName, "House.ifc");
    EXPECT_EQ(record.size, content.size());
    EXPECT_EQ(record.status, 201);
    EXPECT_EQ(record.storedFile.parent_path(), storage);
    EXPECT_EQ(ReadFile(record.storedFile), content);
}

TEST_F(ServiceUploadTest, FileDataStreamedFromDiskArrivesWholeWithoutBeingHeldWhole) {
    constexpr std::size_t Size = 20u << 20;
    const std::string content = PatternBytes(Size, 7);
    const std::filesystem::path file = WriteFile("big.ifc", content);
    Call call{Url("/document?folderId=1"), "POST"};
    call.parts.push_back(Part::FromFile(file));

    const bool peakReset = ResetPeakResident();
    const long residentBefore = PeakResidentKiB();

    const Reply reply = Perform(call);

    // The process's peak memory (test and server together) must not have grown by anything like the upload.
    if (peakReset && residentBefore > 0 && !UnderSanitizer) {
        EXPECT_LT(PeakResidentKiB() - residentBefore, 8 * 1024) << "KiB";
    }
    ASSERT_EQ(reply.code, CURLE_OK);
    EXPECT_EQ(reply.status, 201);
    const RequestRecord record = server.Requests().at(0);
    EXPECT_EQ(record.partFileName, "big.ifc");
    EXPECT_EQ(record.size, Size);
    EXPECT_TRUE(ReadFile(record.storedFile) == content);
    EXPECT_GT(server.LargestUploadChunk(), 0u);
    EXPECT_LE(server.LargestUploadChunk(), 256u * 1024u);
}

TEST_F(ServiceUploadTest, ClientSilentForLongerThanFiveSecondsMidUploadIsNotCutOff) {
    const std::string content = PatternBytes(200000);
    Call call{Url("/resource"), "POST"};
    call.parts.push_back(Part::Bytes(content, "slow.png"));
    call.parts.back().pauseHalfway = std::chrono::milliseconds(6500);

    const Reply reply = Perform(call);

    EXPECT_EQ(reply.code, CURLE_OK);
    EXPECT_EQ(reply.status, 201);
    EXPECT_GE(reply.elapsed, std::chrono::milliseconds(6500));
    EXPECT_TRUE(ReadFile(server.Requests().at(0).storedFile) == content);
}

TEST_F(ServiceUploadTest, ClientFileNamesNeverLeaveTheStorageFolder) {
    for (const std::string name : {"../../x", "/tmp/absolute.ifc", "..\\..\\y.png", "sub/dir/z"}) {
        server.ClearRequests();
        ASSERT_EQ(Upload("/document?folderId=1", "data", name).status, 201) << name;
        const RequestRecord record = server.Requests().at(0);
        EXPECT_EQ(record.storedFile.parent_path(), storage) << name;
        EXPECT_EQ(record.storedFile.filename().string().find(".."), std::string::npos) << name;
        EXPECT_EQ(ReadFile(record.storedFile), "data") << name;
    }
    // The storage lies two levels inside the test's own folder, so an escape would land in it.
    EXPECT_FALSE(std::filesystem::exists(root / "x"));
    EXPECT_FALSE(std::filesystem::exists(root / "service" / "x"));
}

TEST_F(ServiceUploadTest, DocumentAnswerEscapesTheFileNameAsJson) {
    const Reply reply = Upload("/document?folderId=1", "data", "plan \\ 1 ' <\xC3\xA9>.pdf");

    ASSERT_EQ(reply.status, 201);
    const nlohmann::json answer = nlohmann::json::parse(reply.body);
    EXPECT_EQ(answer.at(0).at("name"), server.Requests().at(0).partFileName);
    EXPECT_EQ(answer.at(0).at("name"), "plan \\ 1 ' <\xC3\xA9>.pdf");
}

TEST_F(ServiceUploadTest, FolderIdIsRecordedExactlyAsSent) {
    ASSERT_EQ(Upload("/document?folderId=a&b=c", "data").status, 201);
    EXPECT_EQ(server.Requests().at(0).query, "folderId=a&b=c");
}

TEST_F(ServiceUploadTest, RequestsSentToItAsToAProxyAreServedAsTheirPath) {
    // The address names a port nobody serves: only the proxy setting brings the requests here.
    const std::string proxy = "http://127.0.0.1:" + std::to_string(server.Port());
    Call upload("http://127.0.0.1:1/api/document?folderId=via", "POST");
    upload.proxy = proxy;
    upload.parts.push_back(Part::Bytes("through", "m.ifc"));
    const Reply uploaded = Perform(upload);
    ASSERT_EQ(uploaded.status, 201) << uploaded.body;
    const auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 1u);
    const auto& record = requests[0];
    EXPECT_EQ(record.path, "/api/document");
    EXPECT_EQ(record.target, "/api/document?folderId=via");
    EXPECT_EQ(record.query, "folderId=via");
    EXPECT_EQ(ReadFile(record.storedFile), "through");

    Call resource("http://127.0.0.1:1/api/resource", "POST");
    resource.proxy = proxy;
    resource.parts.push_back(Part::Bytes("picture", "s.png"));
    const Reply image = Perform(resource);
    ASSERT_EQ(image.status, 201);
    Call download("http://127.0.0.1:1/api/resource/" + image.body);
    download.proxy = proxy;
    const Reply downloaded = Perform(download);
    EXPECT_EQ(downloaded.status, 200);
    EXPECT_EQ(downloaded.body, "picture");
}

TEST_F(ServiceUploadTest, ResourceUploadAnswersTheImageIdAndServesItBack) {
    const std::string image = PatternBytes(5000, 3);
    ASSERT_EQ(Upload("/document?folderId=1", "first").status, 201);

    const Reply uploaded = Upload("/resource", image, "snapshot.png");
    const Reply downloaded = Perform(Call{Url("/resource/" + uploaded.body)});

    EXPECT_EQ(uploaded.status, 201);
    EXPECT_EQ(uploaded.body, "img-2");
    EXPECT_EQ(server.Requests().at(1).storedFile.extension(), ".png");
    EXPECT_EQ(downloaded.status, 200);
    EXPECT_TRUE(downloaded.body == image);
}

TEST_F(ServiceUploadTest, FormsOtherThanOnePartNamedFileAreRefusedAndNotKept) {
    Call otherName{Url("/resource"), "POST"};
    otherName.parts.push_back(Part::Bytes("data", "a.png", "image"));
    Call twoParts{Url("/resource"), "POST"};
    twoParts.parts.push_back(Part::Bytes("data", "a.png"));
    twoParts.parts.push_back(Part::Bytes("more", "b.png"));
    Call notMultipart{Url("/resource"), "POST"};
    notMultipart.rawBody = "data";

    EXPECT_EQ(Perform(otherName).status, 400);
    EXPECT_EQ(Perform(twoParts).status, 400);
    EXPECT_EQ(Perform(notMultipart).status, 400);
    EXPECT_EQ(Upload("/document", "data").status, 400); // no folderId

    const std::vector<RequestRecord> records = server.Requests();
    ASSERT_EQ(records.size(), 4u);
    EXPECT_EQ(records[0].partName, "image");
    EXPECT_EQ(records[1].partCount, 2u);
    EXPECT_EQ(records[1].size, 4u);
    for (const RequestRecord& record : records)
        EXPECT_TRUE(record.storedFile.empty());
    EXPECT_TRUE(std::filesystem::is_empty(storage));
}

using ServiceHeaderTest = ServerTest;

TEST_F(ServiceHeaderTest, MissingWrongOrRepeatedClientIdIsRefusedWith401AndRecorded) {
    Call missing{Url("/document?folderId=1"), "POST"};
    missing.clientId.reset();
    missing.parts.push_back(Part::Bytes("data", "a.ifc"));
    Call wrong = missing;
    wrong.clientId = "Quillmar Plugin Revit";
    Call twice = missing;
    twice.clientId = "Quillmar Plugin Archicad";
    twice.extraHeaders.push_back("Quillmar-Client-Id: Quillmar Plugin Archicad");
    Call download{Url("/resource/r1")};
    download.clientId = "quillmar plugin archicad";
    server.AddResource("r1", "bytes");

    EXPECT_EQ(Perform(missing).status, 401);
    EXPECT_EQ(Perform(wrong).status, 401);
    EXPECT_EQ(Perform(twice).status, 401) << "two lines are no clear answer, even when both are right";
    EXPECT_EQ(Perform(download).status, 401);

    const std::vector<RequestRecord> records = server.Requests();
    ASSERT_EQ(records.size(), 4u);
    EXPECT_FALSE(records[0].clientId.has_value());
    EXPECT_EQ(records[1].clientId, "Quillmar Plugin Revit");
    EXPECT_EQ(records[0].size, 4u); // read, though not kept
    EXPECT_TRUE(std::filesystem::is_empty(storage));
}

TEST_F(ServiceHeaderTest, AuthorizationWithoutBearerIsRefusedWith401) {
    for (const std::optional<std::string>& authorization :
         {std::optional<std::string>(), std::optional<std::string>("token-1"),
          std::optional<std::string>("Bearer token-1"), std::optional<std::string>("bearer "),
          std::optional<std::string>("bearer  "), std::optional<std::string>("bearertoken")}) {
        Call call{Url("/resource"), "POST"};
        call.authorization = authorization;
        call.parts.push_back(Part::Bytes("data", "a.png"));
        EXPECT_EQ(Perform(call).status, 401) << authorization.value_or("(none)");
    }
    EXPECT_EQ(server.RequestCount(), 6u);
    EXPECT_FALSE(server.Requests().at(0).authorization.has_value());
}

TEST_F(ServiceHeaderTest, TheStaticFolderNeedsNoServiceHeaders) {
    const std::filesystem::path page = root / "page";
    std::filesystem::create_directory(page);
    WriteFile("page/index.html", "<p>page</p>");
    ServiceStandIn::Server withPage(root / "other");
    withPage.ServeFolder("/app", page);
    ASSERT_TRUE(withPage.Start());
    Call call{"http://127.0.0.1:" + std::to_string(withPage.Port()) + "/app/index.html"};
    call.clientId.reset();
    call.authorization.reset();

    const Reply reply = Perform(call);

    EXPECT_EQ(reply.status, 200);
    EXPECT_EQ(reply.body, "<p>page</p>");
}

using ServiceRecordTest = ServerTest;

TEST_F(ServiceRecordTest, KeepsTheTargetAsSentEveryHeaderLineInOrderAndEveryPart) {
    const std::string target = "/api/document?folderId=a%23b%26c%3D1%3Fd&x=%20y";
    Call call{server.BaseUrl().substr(0, server.BaseUrl().size() - 4) + target, "POST"};
    call.extraHeaders = {"X-Second: 2", "X-First:   1  ", "X-Second: again"};
    call.parts.push_back(Part::Bytes("abc", "one.ifc"));
    call.parts.push_back(Part::Bytes("defgh", "two.txt", "note"));

    EXPECT_EQ(Perform(call).status, 400) << "two parts";

    const RequestRecord record = server.Requests().at(0);
    EXPECT_EQ(record.target, target);
    EXPECT_EQ(record.path, "/api/document");
    EXPECT_EQ(record.params, (ServiceStandIn::HeaderLines{{"folderId", "a#b&c=1?d"}, {"x", " y"}}));
    const ServiceStandIn::HeaderLines expected{{"Quillmar-Client-Id", "Quillmar Plugin Archicad"},
                                               {"X-Project-Authorization", "bearer token-1"},
                                               {"X-Second", "2"},
                                               {"X-First", "1"},
                                               {"X-Second", "again"}};
    const auto first = std::find(record.headers.begin(), record.headers.end(), expected.front());
    ASSERT_NE(first, record.headers.end());
    ASSERT_GE(std::distance(first, record.headers.end()), std::ptrdiff_t(expected.size()));
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), first)) << "the lines as sent, one after the other";
    EXPECT_EQ(record.headers.front().first, "Host");
    ASSERT_EQ(record.parts.size(), 2u);
    EXPECT_EQ(record.parts[0].name, "file");
    EXPECT_EQ(record.parts[0].fileName, "one.ifc");
    EXPECT_EQ(record.parts[0].size, 3u);
    EXPECT_EQ(record.parts[1].name, "note");
    EXPECT_EQ(record.parts[1].fileName, "two.txt");
    EXPECT_EQ(record.parts[1].size, 5u);
    std::uint64_t contentLength = 0;
    for (const auto& [name, value] : record.headers)
        if (name == "Content-Length") contentLength = std::stoull(value);
    EXPECT_GT(contentLength, 8u);
    EXPECT_EQ(record.bodySize, contentLength);
}

TEST_F(ServiceRecordTest, TheObserverSeesEveryRequestBeforeItsAnswerArrivesAndNoneOnceRemoved) {
    const std::filesystem::path page = root / "page";
    std::filesystem::create_directory(page);
    WriteFile("page/index.html", "<p>page</p>");
    ServiceStandIn::Server withPage(root / "other");
    withPage.ServeFolder("/app", page);
    std::mutex seenMutex;
    std::vector<RequestRecord> seen;
    withPage.SetRequestObserver([&](const RequestRecord& record) {
        std::lock_guard lock(seenMutex);
        seen.push_back(record);
    });
    ASSERT_TRUE(withPage.Start());
    const std::string origin = "http://127.0.0.1:" + std::to_string(withPage.Port());
    const auto seenCount = [&] {
        std::lock_guard lock(seenMutex);
        return seen.size();
    };

    Call upload{origin + "/api/resource", "POST"};
    upload.parts.push_back(Part::Bytes("image", "shot.png"));
    ASSERT_EQ(Perform(upload).status, 201);
    EXPECT_EQ(seenCount(), 1u) << "seen before the client had its answer";
    ASSERT_EQ(Perform(Call{origin + "/app/index.html"}).status, 200);
    EXPECT_EQ(seenCount(), 2u);
    ASSERT_EQ(Perform(Call{origin + "/elsewhere?a=1"}).status, 404);
    EXPECT_EQ(seenCount(), 3u);

    withPage.SetRequestObserver(nullptr);
    ASSERT_EQ(Perform(Call{origin + "/app/index.html"}).status, 200);
    withPage.Stop();

    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen[0].target, "/api/resource");
    EXPECT_EQ(seen[0].status, 201);
    ASSERT_EQ(seen[0].parts.size(), 1u);
    EXPECT_EQ(seen[0].parts[0].fileName, "shot.png");
    EXPECT_EQ(seen[0].storedFile.filename(), "upload-1.png");
    EXPECT_EQ(seen[1].method, "GET");
    EXPECT_EQ(seen[1].target, "/app/index.html");
    EXPECT_EQ(seen[1].status, 200);
    EXPECT_TRUE(seen[1].parts.empty());
    EXPECT_EQ(seen[1].headers.at(0).first, "Host");
    EXPECT_EQ(seen[2].target, "/elsewhere?a=1");
    EXPECT_EQ(seen[2].status, 404);
    EXPECT_EQ(withPage.RequestCount(), 1u) << "only API requests are kept";
}

using ServiceDownloadTest = ServerTest;

TEST_F(ServiceDownloadTest, ServesRegisteredBytesAndFilesAndRefusesUnknownIds) {
    const std::string bytes = PatternBytes(300000, 5);
    server.AddResource("model-a", bytes);
    server.AddResourceFile("model-b", WriteFile("b.ifc", "from disk"));

    const Reply a = Perform(Call{Url("/resource/model-a")});
    const Reply b = Perform(Call{Url("/resource/model-b")});
    const Reply unknown = Perform(Call{Url("/resource/model-c")});
    const Reply noId = Perform(Call{Url("/resource/")});
    const Reply elsewhere = Perform(Call{Url("/projects")});

    EXPECT_EQ(a.status, 200);
    EXPECT_TRUE(a.body == bytes);
    EXPECT_EQ(b.status, 200);
    EXPECT_EQ(b.body, "from disk");
    EXPECT_EQ(unknown.status, 404);
    EXPECT_EQ(noId.status, 404);
    EXPECT_EQ(elsewhere.status, 404);
    EXPECT_EQ(server.RequestCount(), 5u);
    EXPECT_EQ(server.Requests().at(4).path, "/api/projects");
}

TEST(ServiceRecordFormat, DescribesOneRequestOnOneLine) {
    RequestRecord record;
    record.method = "POST";
    record.path = "/api/document";
    record.query = "folderId=1";
    record.partCount = 1;
    record.partName = "file";
    record.partFileName = "a\nb.ifc";
    record.size = 12;
    record.storedFile = "/store/upload-3.ifc";
    record.status = 201;
    record.fault = ServiceStandIn::FaultKind::Slow;

    EXPECT_EQ(ServiceStandIn::FormatRecord(record),
              "POST /api/document?folderId=1 -> 201 part=file file=\"a?b.ifc\" size=12 stored=upload-3.ifc fault=slow");
}

} // namespace
