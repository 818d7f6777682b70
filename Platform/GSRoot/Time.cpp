#include "Time.hpp"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <ctime>

namespace {

using TimeSource = GSTime (*)();

std::atomic<TimeSource> testTimeSource{nullptr};

GSTime SystemTime() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

} // namespace

GSTime TIGetTime() {
    const TimeSource source = testTimeSource.load();
    return source != nullptr ? source() : SystemTime();
}

GS::UniString TIGetISO8601TimeString(GSTime time, bool withMilliseconds) {
    // Floor division, so that times before 1970 keep their milliseconds positive.
    GSTime seconds = time / 1000;
    GSTime millis = time % 1000;
    if (millis < 0) {
        millis += 1000;
        seconds -= 1;
    }
    const auto whole = static_cast<std::time_t>(seconds);
    std::tm local{};
    tzset(); // localtime_r alone does not see a changed TZ
    if (localtime_r(&whole, &local) == nullptr) return {};

    char text[64];
    if (std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &local) == 0) return {};
    GS::UniString result(text);
    if (withMilliseconds) result += GS::UniString::Printf(".%03d", static_cast<Int32>(millis));
    return result;
}

namespace GS {

void SetTimeSourceForTesting(GSTime (*source)()) {
    testTimeSource.store(source);
}

} // namespace GS
