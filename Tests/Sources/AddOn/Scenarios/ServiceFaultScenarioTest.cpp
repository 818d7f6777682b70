// The add-on against a service stand-in that says no, steered by "service" lines only: redirects elsewhere and in a
// loop, error answers, dropped and refused connections, and what the service received as the transcript shows it.

#include "ViewpointScenario.hpp"

#include <gtest/gtest.h>

#include <filesystem>

using namespace ViewpointScenario;

namespace {

class ServiceFaultScenario : public Fixture {
protected:
    static std::string Service(const json& behaviour) { return json{{"service", behaviour}}.dump() + "\n"; }

    static std::string Export(const std::string& folderId) {
        const json request{{"token", "tok-1"},
                           {"projectId", "p1"},
                           {"folderId", folderId},
                           {"fileName", "House"},
                           {"onlyVisible", false}};
        return json{{"call", "ExportIFCModel"}, {"arg", request.dump()}}.dump() + "\n";
    }

    static std::string WaitFor(const char* script) { return json{{"wait", script}, {"timeout", 30}}.dump() + "\n"; }

    static long Reports(const Lines& lines, const char* script) { return Count(lines, json{{"page", script}}); }

    // What each request line says, in order.
    static Lines Requests(const Lines& lines) {
        Lines requests;
        for (const json& line : With(lines, "request"))
            requests.push_back(line["request"]);
        return requests;
    }

    static std::string Header(const json& request, const std::string& name) {
        for (const json& header : request["headers"])
            if (header[0] == name) return header[1];
        return "(none)";
    }
};

TEST_F(ServiceFaultScenario, ARedirectToAnotherAddressFailsTheExportAndNothingReachesThatAddress) {
    const Lines lines =
        Play(Service({{"redirect", {{"to", "other"}, {"status", 307}}}}) + Export("f1") + WaitFor("FailExportModel()"));

    EXPECT_TRUE(With(lines, "error").empty()) << Dump(lines);
    EXPECT_EQ(Reports(lines, "FailExportModel()"), 1) << Dump(lines);
    EXPECT_EQ(Reports(lines, "CompleteExportModel()"), 0);
    EXPECT_FALSE(steering.OtherBaseUrl().empty()) << "the other address was listening";
    const Lines requests = Requests(lines);
    ASSERT_EQ(requests.size(), 1u) << "neither the file nor the token went to the other address\n" << Dump(lines);
    EXPECT_FALSE(requests[0].contains("at"));
    EXPECT_EQ(requests[0]["status"], 307);
    EXPECT_EQ(requests[0]["fault"], "redirect");
}

TEST_F(ServiceFaultScenario, ARedirectLoopEndsTheExportAsFailedWithinSixRequests) {
    const Lines lines = Play(Service({{"redirect", {{"to", "loop"}}}}) + Export("f1") + WaitFor("FailExportModel()"));

    EXPECT_TRUE(With(lines, "error").empty()) << Dump(lines);
    EXPECT_EQ(Reports(lines, "FailExportModel()"), 1) << Dump(lines);
    EXPECT_EQ(Reports(lines, "CompleteExportModel()"), 0);
    const Lines requests = Requests(lines);
    ASSERT_GE(requests.size(), 2u) << "the add-on follows a redirect to the same address\n" << Dump(lines);
    EXPECT_LE(requests.size(), 6u) << Dump(lines);
    for (const json& request : requests) {
        EXPECT_EQ(request["target"], "/api/document?folderId=f1");
        EXPECT_EQ(request["status"], 307);
    }
}

TEST_F(ServiceFaultScenario, AFolderIdOfURLCharactersArrivesPercentEncodedAndIsDecodedBackExactly) {
    const Lines lines = Play(Export("abc#def&x=1?y") + WaitFor("CompleteExportModel()"));

    const Lines requests = Requests(lines);
    ASSERT_EQ(requests.size(), 1u) << Dump(lines);
    EXPECT_EQ(requests[0]["target"], "/api/document?folderId=abc%23def%26x%3D1%3Fy");
    EXPECT_EQ(requests[0]["params"], json::parse(R"([["folderId", "abc#def&x=1?y"]])"));
    EXPECT_EQ(requests[0]["status"], 201);
}

TEST_F(ServiceFaultScenario, ASnapshotAnsweredWith500StillInsertsTheViewpointWithoutAnImageId) {
    const Lines lines = Play("{\"host\": {\"window\": 4}}\n" +
                             Service({{"answer", {{"status", 500}, {"body", "busy"}}}, {"count", 1}}) +
                             Snapshot(R"({"token": "tok-9", "projectId": "p-7"})") + WaitFor("InsertViewpoint()") +
                             "{\"call\": \"AddViewpoint\"}\n");

    EXPECT_TRUE(With(lines, "error").empty()) << Dump(lines);
    EXPECT_EQ(Reports(lines, "InsertViewpoint()"), 1) << Dump(lines);
    const Lines requests = Requests(lines);
    ASSERT_EQ(requests.size(), 1u) << Dump(lines);
    EXPECT_EQ(requests[0]["target"], "/api/resource");
    EXPECT_EQ(requests[0]["status"], 500);
    const json text = ResultOf(lines, "AddViewpoint");
    ASSERT_TRUE(text.is_string()) << Dump(lines);
    EXPECT_NE(text.get<std::string>().find("\"imageId\":\"\""), std::string::npos) << text;
}

TEST_F(ServiceFaultScenario, AConnectionDroppedHalfWayFailsTheExportOnce) {
    const Lines lines = Play(Service({{"drop", true}, {"count", 1}}) + Export("f1") + WaitFor("FailExportModel()") +
                             Export("f1") + WaitFor("CompleteExportModel()"));

    EXPECT_TRUE(With(lines, "error").empty()) << Dump(lines);
    EXPECT_EQ(Reports(lines, "FailExportModel()"), 1) << Dump(lines);
    EXPECT_EQ(Reports(lines, "CompleteExportModel()"), 1) << "the count was one request";
    const Lines requests = Requests(lines);
    ASSERT_EQ(requests.size(), 2u) << Dump(lines);
    EXPECT_EQ(requests[0]["fault"], "drop");
    EXPECT_FALSE(requests[1].contains("fault"));
}

TEST_F(ServiceFaultScenario, RefusedConnectionsFailTheExportOnceUntilTheServiceListensAgain) {
    const Lines lines = Play(Service({{"refuse", true}}) + Export("f1") + WaitFor("FailExportModel()") +
                             Service("clear") + Export("f1") + WaitFor("CompleteExportModel()"));

    EXPECT_TRUE(With(lines, "error").empty()) << Dump(lines);
    EXPECT_EQ(Reports(lines, "FailExportModel()"), 1) << Dump(lines);
    EXPECT_EQ(Reports(lines, "CompleteExportModel()"), 1);
    EXPECT_EQ(Requests(lines).size(), 1u) << "a refused connection is no request\n" << Dump(lines);
}

TEST_F(ServiceFaultScenario, RequestLinesShowWhatTheServiceReceivedBeforeTheAddOnSeesTheAnswerAlikeInEveryRun) {
    const std::string scenario = Export("f1") + WaitFor("CompleteExportModel()");
    const Lines first = Play(scenario);
    const Lines second = Play(scenario);

    const Lines requests = Requests(first);
    ASSERT_EQ(requests.size(), 1u) << Dump(first);
    EXPECT_EQ(Requests(second), requests) << "ports and boundaries are masked\n" << Dump(second);
    const json& request = requests[0];
    EXPECT_EQ(request["method"], "POST");
    EXPECT_EQ(request["target"], "/api/document?folderId=f1");
    EXPECT_EQ(Header(request, "Host"), "127.0.0.1:<port>");
    EXPECT_EQ(Header(request, "Content-Type"), "multipart/form-data; boundary=<boundary>");
    EXPECT_EQ(Header(request, "Content-Length"), std::to_string(request["size"].get<long>()));
    const json& headers = request["headers"];
    std::size_t clientId = headers.size();
    for (std::size_t i = 0; i < headers.size(); ++i)
        if (headers[i] == json::array({"Quillmar-Client-Id", "Quillmar Plugin Archicad"})) clientId = i;
    ASSERT_LT(clientId + 1, headers.size()) << headers.dump();
    EXPECT_EQ(headers[clientId + 1], json::array({"X-Project-Authorization", "bearer tok-1"}))
        << "the two service headers, one after the other: " << headers.dump();
    const auto ifcSize = std::filesystem::file_size(home / "Exchange" / "House.ifc");
    EXPECT_EQ(request["parts"],
              json::parse(R"([{"name": "file", "fileName": "House.ifc", "size": )" + std::to_string(ifcSize) + "}]"));
    EXPECT_EQ(request["status"], 201);
    EXPECT_LT(IndexOf(first, json{{"request", request}}), IndexOf(first, json{{"page", "CompleteExportModel()"}}))
        << "written before the answer went out";
}

TEST_F(ServiceFaultScenario, AServiceLineThatCannotBeAppliedGetsAnErrorLineAndChangesNothing) {
    const Lines lines = Play(Service({{"answer", {{"status", 503}}}, {"count", 1}}) + Service({{"bogus", true}}) +
                             Service({{"refuse", true}, {"count", 1}}) + Export("f1") + WaitFor("FailExportModel()"));

    EXPECT_EQ(Count(lines, json{{"error", "service: unknown key \"bogus\""}}), 1) << Dump(lines);
    EXPECT_EQ(Count(lines, json{{"error", "service: \"refuse\" takes no \"count\""}}), 1) << Dump(lines);
    const Lines requests = Requests(lines);
    ASSERT_EQ(requests.size(), 1u) << Dump(lines);
    EXPECT_EQ(requests[0]["status"], 503) << "the behaviour before the bad lines holds";
}

TEST(ServiceLineWithoutService, GetsAnErrorLine) {
    const Lines lines = RunScenario(R"({"service": "clear"}
{"service": {"answer": {"status": 500}}})");
    EXPECT_EQ(Count(lines, json{{"error", "service: no service stand-in is attached to the host"}}), 2) << Dump(lines);
}

} // namespace
