#include "Steering.hpp"
#include "ServiceClient.hpp"

#include <gmock/gmock.h>

#include <mutex>

using namespace std::chrono_literals;
using nlohmann::ordered_json;
using ServiceStandIn::RequestRecord;
using ::testing::HasSubstr;

namespace {

TEST(ServiceRequestLine, ShowsTheRequestWithItsPortsAndBoundaryMasked) {
    RequestRecord record;
    record.method = "POST";
    record.target = "/api/document?folderId=f%231";
    record.params = {{"folderId", "f#1"}};
    record.headers = {{"Host", "127.0.0.1:18480"},
                      {"Referer", "http://127.0.0.1:184801/x"},
                      {"Content-Type", "multipart/form-data; boundary=------abc123; charset=x"},
                      {"X-Via", "127.0.0.1:4711, 127.0.0.1:18480"}};
    record.parts = {{"file", "House.ifc", 12}, {"note", "", 3}};
    record.bodySize = 200;
    record.status = 201;
    record.fault = ServiceStandIn::FaultKind::Redirect;
    const ServiceStandIn::Masks masks{{":18480", ":<port>"}, {":4711", ":<other-port>"}};

    EXPECT_EQ(ServiceStandIn::RequestLine(record, masks).dump(),
              R"({"request":{"method":"POST","target":"/api/document?folderId=f%231","params":[["folderId","f#1"]],)"
              R"("headers":[["Host","127.0.0.1:<port>"],["Referer","http://127.0.0.1:184801/x"],)"
              R"(["Content-Type","multipart/form-data; boundary=<boundary>; charset=x"],)"
              R"(["X-Via","127.0.0.1:<other-port>, 127.0.0.1:<port>"]],)"
              R"("parts":[{"name":"file","fileName":"House.ifc","size":12},{"name":"note","fileName":"","size":3}],)"
              R"("size":200,"status":201,"fault":"redirect"}})");

    RequestRecord page;
    page.method = "GET";
    page.target = "/app/";
    page.status = 200;
    EXPECT_EQ(ServiceStandIn::RequestLine(page, {}, true).dump(),
              R"({"request":{"at":"other","method":"GET","target":"/app/","headers":[],"size":0,"status":200}})")
        << "what is empty is left out, but the headers and the size";
}

// A server with its steering, and the lines the steering hands over.
class SteeringTest : public ServerTest {
protected:
    void Watch() {
        steering.Watch([this](ordered_json line) {
            std::lock_guard lock(linesMutex);
            lines.push_back(std::move(line));
        });
    }
    std::vector<ordered_json> Lines() {
        std::lock_guard lock(linesMutex);
        return lines;
    }
    void MustApply(const nlohmann::json& behaviour) { ASSERT_EQ(steering.Apply(behaviour), "") << behaviour.dump(); }

    ServiceStandIn::Steering steering{server};
    std::mutex linesMutex;
    std::vector<ordered_json> lines;
};

TEST_F(SteeringTest, EachBehaviourHoldsForItsCountOrUntilCleared) {
    server.AddResource("r", "resource bytes");
    MustApply({{"answer", {{"status", 503}, {"body", "busy"}}}, {"count", 1}});
    const Reply busy = Upload("/resource", "data");
    EXPECT_EQ(busy.status, 503);
    EXPECT_EQ(busy.body, "busy");
    EXPECT_EQ(Upload("/resource", "data").status, 201);

    MustApply({{"answer", {{"status", 500}, {"type", "application/json"}}}});
    EXPECT_EQ(Upload("/resource", "data").status, 500);
    const Reply again = Upload("/resource", "data");
    EXPECT_EQ(again.status, 500);
    EXPECT_TRUE(again.HasHeaderLine("Content-Type: application/json"));
    MustApply("clear");
    EXPECT_EQ(Upload("/resource", "data").status, 201);
    MustApply({{"answer", {{"status", 404}}}});
    MustApply({{"clear", true}});
    EXPECT_EQ(Upload("/resource", "data").status, 201);

    MustApply({{"drop", true}, {"count", 1}});
    EXPECT_EQ(Upload("/resource", "data").code, CURLE_PARTIAL_FILE);
    MustApply({{"slow", {{"bytes", 4}, {"ms", 10}}}, {"count", 1}});
    const Reply slow = Perform(Call{Url("/resource/r")});
    EXPECT_EQ(slow.body, "resource bytes");
    EXPECT_TRUE(slow.HasHeaderLine("Transfer-Encoding: chunked"));
    MustApply({{"stall", {{"ms", 300}, {"afterBytes", 2}}}, {"count", 1}});
    const Reply stalled = Upload("/resource", "data");
    EXPECT_EQ(stalled.status, 201);
    EXPECT_GE(stalled.elapsed, 300ms);
    EXPECT_EQ(Upload("/resource", "data").status, 201);
}

TEST_F(SteeringTest, BadBehavioursAreRefusedWithTheirReasonAndChangeNothing) {
    MustApply({{"answer", {{"status", 503}}}});
    const std::vector<std::pair<nlohmann::json, std::string>> cases{
        {42, "the value must be \"clear\" or an object"},
        {"sometimes", "the value must be \"clear\" or an object"},
        {nlohmann::json::object(), "no behaviour"},
        {{{"count", 2}}, "no behaviour"},
        {{{"answer", {{"status", 500}}}, {"drop", true}}, "one behaviour at a time"},
        {{{"bogus", 1}}, "unknown key \"bogus\""},
        {{{"answer", {{"status", 99}}}}, "\"answer\": \"status\" must be a whole number from 100 to 599"},
        {{{"answer", {{"status", 500}, {"colour", 1}}}}, "\"answer\": unknown key \"colour\""},
        {{{"answer", nlohmann::json::object()}}, "\"answer\": \"status\" is required"},
        {{{"answer", 500}}, "\"answer\" must be an object"},
        {{{"answer", {{"status", 500}, {"body", 1}}}}, "\"answer\": \"body\" must be a string"},
        {{{"answer", {{"status", 500}}}, {"count", 0}}, "\"count\" must be a whole number from 1"},
        {{{"answer", {{"status", 500}}}, {"count", 1.5}}, "\"count\" must be a whole number"},
        {{{"redirect", {{"to", "mars"}}}}, "\"redirect\": \"to\" must be \"same\", \"other\", \"loop\" or an http"},
        {{{"redirect", {{"status", 200}}}}, "\"redirect\": \"status\" must be a whole number from 300 to 399"},
        {{{"stall", {{"afterBytes", 3}}}}, "\"stall\": \"ms\" is required"},
        {{{"stall", {{"ms", -1}}}}, "\"stall\": \"ms\" must be a whole number from 0"},
        {{{"slow", {{"bytes", 0}, {"ms", 1}}}}, "\"slow\": \"bytes\" must be a whole number from 1"},
        {{{"drop", false}}, "\"drop\" must be true"},
        {{{"refuse", true}, {"count", 2}}, "\"refuse\" takes no \"count\""},
        {{{"clear", true}, {"count", 1}}, "\"clear\" takes no \"count\""}};
    for (const auto& [behaviour, reason] : cases)
        EXPECT_THAT(steering.Apply(behaviour), HasSubstr(reason)) << behaviour.dump();

    EXPECT_EQ(Upload("/resource", "data").status, 503) << "the earlier behaviour holds";
    EXPECT_TRUE(steering.OtherBaseUrl().empty());
    server.Stop();
    EXPECT_EQ(steering.Apply("clear"), "the service is not running");
}

TEST_F(SteeringTest, RefusalHoldsUntilTheNextBehaviour) {
    MustApply({{"refuse", true}});
    EXPECT_EQ(Upload("/resource", "data").code, CURLE_COULDNT_CONNECT);
    EXPECT_EQ(Upload("/resource", "data").code, CURLE_COULDNT_CONNECT);
    MustApply({{"answer", {{"status", 503}}}, {"count", 1}});
    EXPECT_EQ(Upload("/resource", "data").status, 503);
    EXPECT_EQ(Upload("/resource", "data").status, 201);

    MustApply({{"refuse", true}});
    EXPECT_EQ(Upload("/resource", "data").code, CURLE_COULDNT_CONNECT);
    MustApply("clear");
    EXPECT_EQ(Upload("/resource", "data").status, 201);
    EXPECT_EQ(server.RequestCount(), 3u);
}

TEST_F(SteeringTest, RedirectsUnderTheSameHostToASecondListenerBackToItselfOrAnywhere) {
    Watch();
    MustApply({{"redirect", {{"to", "other"}}}, {"count", 1}});
    const std::string other = steering.OtherBaseUrl();
    ASSERT_FALSE(other.empty());
    EXPECT_NE(other, server.BaseUrl());
    EXPECT_TRUE(other.starts_with("http://127.0.0.1:"));
    const Reply moved = Upload("/resource", "data");
    EXPECT_EQ(moved.status, 201) << "the second listener serves the API too";

    MustApply({{"redirect", {{"to", "loop"}, {"status", 302}}}, {"count", 1}});
    Call loop{Url("/resource/x?y=1")};
    loop.followRedirects = false;
    const Reply itself = Perform(loop);
    MustApply({{"redirect", {{"to", "https://example.invalid/z"}}}, {"count", 1}});
    const Reply anywhere = Perform(loop);
    MustApply({{"redirect", nlohmann::json::object()}, {"count", 1}});
    const Reply same = Perform(loop);

    EXPECT_EQ(itself.status, 302);
    EXPECT_TRUE(itself.HasHeaderLine("Location: /api/resource/x?y=1"));
    EXPECT_EQ(anywhere.status, 307);
    EXPECT_TRUE(anywhere.HasHeaderLine("Location: https://example.invalid/z"));
    EXPECT_TRUE(same.HasHeaderLine("Location: /moved/api/resource/x?y=1"));

    const std::vector<ordered_json> seen = Lines();
    ASSERT_EQ(seen.size(), 5u);
    EXPECT_EQ(seen[0]["request"]["status"], 307);
    EXPECT_EQ(seen[0]["request"]["fault"], "redirect");
    EXPECT_FALSE(seen[0]["request"].contains("at"));
    EXPECT_EQ(seen[1]["request"]["at"], "other");
    EXPECT_EQ(seen[1]["request"]["target"], "/api/resource");
    EXPECT_EQ(seen[1]["request"]["status"], 201);
    EXPECT_EQ(seen[1]["request"]["headers"][0], ordered_json::array({"Host", "127.0.0.1:<other-port>"}));
    EXPECT_EQ(seen[2]["request"]["headers"][0], ordered_json::array({"Host", "127.0.0.1:<port>"}));
}

TEST_F(SteeringTest, WatchedLinesOfLikeRequestsAreAlikeAndEndWithTheWatching) {
    Watch();
    ASSERT_EQ(Upload("/resource", "data", "shot.png").status, 201);
    ASSERT_EQ(Upload("/resource", "data", "shot.png").status, 201);
    steering.Watch(nullptr);
    ASSERT_EQ(Upload("/resource", "data", "shot.png").status, 201);

    const std::vector<ordered_json> seen = Lines();
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0], seen[1]) << "ports and boundaries masked: " << seen[0].dump() << "\n" << seen[1].dump();
    const ordered_json& request = seen[0]["request"];
    EXPECT_EQ(request["method"], "POST");
    EXPECT_EQ(request["target"], "/api/resource");
    EXPECT_EQ(request["parts"], ordered_json::parse(R"([{"name":"file","fileName":"shot.png","size":4}])"));
    EXPECT_EQ(request["status"], 201);
    bool typed = false;
    for (const ordered_json& header : request["headers"]) {
        if (header[0] == "Content-Length") {
            EXPECT_EQ(header[1], std::to_string(request["size"].get<int>()));
        }
        if (header[0] == "Content-Type") {
            EXPECT_EQ(header[1], "multipart/form-data; boundary=<boundary>");
            typed = true;
        }
    }
    EXPECT_TRUE(typed) << request.dump();
}

TEST_F(SteeringTest, ASteeringGoneEndsItsWatchingAndItsSecondListener) {
    std::string other;
    {
        ServiceStandIn::Steering local(server);
        local.Watch([this](ordered_json line) {
            std::lock_guard lock(linesMutex);
            lines.push_back(std::move(line));
        });
        ASSERT_EQ(local.Apply({{"redirect", {{"to", "other"}}}, {"count", 1}}), "");
        other = local.OtherBaseUrl();
    }
    EXPECT_EQ(Perform(Call{other + "/resource/x"}).code, CURLE_COULDNT_CONNECT);
    Call redirected{Url("/resource/x")};
    redirected.followRedirects = false;
    EXPECT_EQ(Perform(redirected).status, 307) << "the behaviour stays with the server";
    EXPECT_TRUE(Lines().empty());
}

} // namespace
