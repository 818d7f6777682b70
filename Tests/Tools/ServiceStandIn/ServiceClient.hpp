#ifndef SERVICESTANDIN_TESTS_SERVICECLIENT_HPP
#define SERVICESTANDIN_TESTS_SERVICECLIENT_HPP

#include "Server.hpp"
#include "TempFolder.hpp"

#include <curl/curl.h>
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

// One multipart part: the data of a file on disk, or bytes given here.
struct Part {
    std::string name = "file";
    std::filesystem::path file;
    std::optional<std::string> data;
    std::optional<std::string> fileName;       // overrides the name curl takes from file
    std::chrono::milliseconds pauseHalfway{0}; // data only: the client falls silent in the middle of it

    static Part Bytes(std::string bytes, std::string clientName, std::string partName = "file") {
        Part part;
        part.name = std::move(partName);
        part.data = std::move(bytes);
        part.fileName = std::move(clientName);
        return part;
    }
    static Part FromFile(std::filesystem::path path) {
        Part part;
        part.file = std::move(path);
        return part;
    }
};

// One request as the add-on makes it: the two headers by default, a multipart form when parts are given.
struct Call {
    explicit Call(std::string address, std::string verb = "GET") : url(std::move(address)), method(std::move(verb)) {}

    std::string url;
    std::string method;
    std::optional<std::string> clientId = "Quillmar Plugin Archicad";
    std::optional<std::string> authorization = "bearer token-1";
    std::vector<Part> parts;
    std::optional<std::string> rawBody;    // a non-multipart body instead of parts
    std::vector<std::string> extraHeaders; // "Name: value"
    std::string proxy;                     // "http://host:port": sent there as to a proxy
    bool followRedirects = true;
    long lowSpeedSeconds = 0; // > 0: give up when under 1 byte/s for that long
    // Sees each header line as it arrives, interim answers (100 Continue) included; on the calling thread.
    std::function<void(const std::string& line)> onHeaderLine;
};

struct Reply {
    CURLcode code = CURLE_OK;
    long status = 0;
    std::string body;
    std::string headers;
    std::string error; // curl's text for a failed transfer
    std::chrono::milliseconds elapsed{0};
    bool HasHeaderLine(const std::string& line) const; // case-insensitive, without the line end
};

Reply Perform(const Call& call);

using QuillmarTest::PatternBytes;
using QuillmarTest::ReadFile;

// A fresh temporary folder per test with a running server, on a free port, whose storage lies inside it.
class ServerTest : public ::testing::Test {
protected:
    ServerTest();
    ~ServerTest() override;
    void SetUp() override { ASSERT_TRUE(server.Start()); }

    std::string Url(const std::string& path) const { return server.BaseUrl() + path; }
    std::filesystem::path WriteFile(const std::string& name, const std::string& content) const;
    Reply Upload(const std::string& path, const std::string& content, const std::string& fileName = "model.ifc");

    QuillmarTest::TempFolder folder;
    const std::filesystem::path root = folder.Path();
    const std::filesystem::path storage = root / "service" / "storage";
    ServiceStandIn::Server server;
};

#endif
