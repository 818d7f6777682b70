#include "Time.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>

using GS::UniString;

namespace {

// 2026-12-09T07:45:29.042Z
constexpr GSTime FixedTime = 1796802329042;

GSTime FixedClock() {
    return FixedTime;
}

// Runs each test in a given zone and restores the zone and the clock afterwards.
class TimeTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (const char* tz = std::getenv("TZ")) savedZone = tz;
        SetZone("UTC");
    }
    void TearDown() override {
        GS::SetTimeSourceForTesting(nullptr);
        if (savedZone) {
            setenv("TZ", savedZone->c_str(), 1);
        } else {
            unsetenv("TZ");
        }
        tzset();
    }
    static void SetZone(const char* zone) {
        setenv("TZ", zone, 1);
        tzset();
    }

    std::optional<std::string> savedZone;
};

TEST_F(TimeTest, Iso8601TextWithAndWithoutMilliseconds) {
    EXPECT_EQ(TIGetISO8601TimeString(FixedTime, false), UniString("2026-12-09T07:45:29"));
    EXPECT_EQ(TIGetISO8601TimeString(FixedTime, true), UniString("2026-12-09T07:45:29.042"));
    EXPECT_EQ(TIGetISO8601TimeString(0, true), UniString("1970-01-01T00:00:00.000"));
    EXPECT_EQ(TIGetISO8601TimeString(999, true), UniString("1970-01-01T00:00:00.999"));
}

TEST_F(TimeTest, TimesBeforeTheEpochRoundDown) {
    EXPECT_EQ(TIGetISO8601TimeString(-1, true), UniString("1969-12-31T23:59:59.999"));
    EXPECT_EQ(TIGetISO8601TimeString(-1000, true), UniString("1969-12-31T23:59:59.000"));
}

TEST_F(TimeTest, TextIsInLocalTime) {
    SetZone("QMT-2"); // POSIX zone two hours east of UTC, without daylight saving
    EXPECT_EQ(TIGetISO8601TimeString(FixedTime, false), UniString("2026-12-09T09:45:29"));
    SetZone("QMT+8");
    EXPECT_EQ(TIGetISO8601TimeString(FixedTime, false), UniString("2026-12-08T23:45:29"));
}

TEST_F(TimeTest, FileNameStampHasNoColons) {
    UniString stamp = TIGetISO8601TimeString(FixedTime, false);
    stamp.ReplaceAll(":", "_");
    EXPECT_EQ(stamp + ".png", UniString("2026-12-09T07_45_29.png"));
}

TEST_F(TimeTest, TestClockReplacesTheSystemClockUntilReset) {
    GS::SetTimeSourceForTesting(&FixedClock);
    EXPECT_EQ(TIGetTime(), FixedTime);
    EXPECT_EQ(TIGetTime(), FixedTime);
    GS::SetTimeSourceForTesting(nullptr);

    using namespace std::chrono;
    const GSTime before = duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
    const GSTime now = TIGetTime();
    const GSTime after = duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
    EXPECT_LE(before, now);
    EXPECT_LE(now, after);
}

} // namespace
