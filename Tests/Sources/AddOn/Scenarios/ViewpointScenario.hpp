#ifndef TESTS_ADDON_VIEWPOINTSCENARIO_HPP
#define TESTS_ADDON_VIEWPOINTSCENARIO_HPP

#include "AddOnScenario.hpp"
#include "ServiceScenario.hpp"

#include "Time.hpp"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

// The real add-on with the viewpoint project in a fresh home, the service stand-in on the build's address and the
// clock at 2026-12-09T10:20:30 UTC.
namespace ViewpointScenario {

using namespace AddOnScenario;

inline GSTime FixedTime() {
    return GSTime{1'796'811'630'000};
}

// GUIDs and host GlobalIds of the project's elements: a wall whose element ID holds a quote and a backslash, a
// slab, a second wall and a column.
inline const char* const W1 = "{C0000000-0000-4000-8000-000000000001}";
inline const char* const S1 = "{C0000000-0000-4000-8000-000000000002}";
inline const char* const W2 = "{C0000000-0000-4000-8000-000000000003}";
inline const char* const C1 = "{C0000000-0000-4000-8000-000000000004}";

class Fixture : public ServiceScenario {
protected:
    void SetUp() override {
        ServiceScenario::SetUp();
        setenv("TZ", "UTC0", 1);
        tzset();
        GS::SetTimeSourceForTesting(&FixedTime);
    }

    void TearDown() override {
        GS::SetTimeSourceForTesting(nullptr);
        ServiceScenario::TearDown();
    }

    Lines Play(const std::string& lines) {
        HostSim::HostOptions options = OptionsInHome(QUILLMAR_ADDON_PATH);
        options.project = VIEWPOINT_PROJECT_PATH;
        return RunScenario("{\"menu\": 32500, \"item\": 1}\n" + lines, options);
    }

    static std::string Snapshot(const std::string& argument) {
        return json{{"call", "ExportSnapshot"}, {"arg", argument}}.dump() + "\n";
    }

    // A snapshot of the 3D window, uploaded, so that AddViewpoint has an image id.
    static std::string UploadedSnapshot() {
        return "{\"host\": {\"window\": 4}}\n" + Snapshot(R"({"token": "tok-9", "projectId": "p-7"})") +
               R"S({"wait": "InsertViewpoint()", "timeout": 20})S" + "\n";
    }

    // The n-th viewpoint text, parsed strictly; null for an empty result.
    static json Viewpoint(const Lines& lines, std::size_t n = 0) {
        const json result = ResultOf(lines, "AddViewpoint", n);
        if (!result.is_string()) return json("no AddViewpoint result");
        if (result.get<std::string>().empty()) return nullptr;
        return json::parse(result.get<std::string>());
    }
};

} // namespace ViewpointScenario

#endif
