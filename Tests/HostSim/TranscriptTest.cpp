#include "Transcript.hpp"

#include <gtest/gtest.h>

#include <sstream>

namespace {

using HostSim::Line;
using HostSim::Transcript;

TEST(Transcript, EchoesEachLineCompactlyInWriteOrder) {
    std::ostringstream out;
    Transcript transcript;
    transcript.SetOutput(&out);
    transcript.Write(Line{{"call", "Name"}, {"result", Line::array({1, "two"})}});
    transcript.Error("bad");
    EXPECT_EQ(out.str(), "{\"call\":\"Name\",\"result\":[1,\"two\"]}\n{\"error\":\"bad\"}\n");
    const auto lines = transcript.GetLines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[1]["error"], "bad");
}

TEST(Transcript, LinesNotKeptAreStillEchoedAndMasked) {
    std::ostringstream out;
    Transcript transcript;
    transcript.SetOutput(&out);
    transcript.AddMask("/home/x", "<home>");
    transcript.Write(Line{{"kept", "/home/x/a"}});
    transcript.SetKeepLines(false);
    transcript.Write(Line{{"echoed", Line::array({"/home/x/b", "c"})}});
    EXPECT_EQ(out.str(), "{\"kept\":\"<home>/a\"}\n{\"echoed\":[\"<home>/b\",\"c\"]}\n");
    EXPECT_EQ(transcript.GetLineCount(), 1u);
}

TEST(Transcript, MasksEveryOccurrenceInNestedStringsButNotKeys) {
    Transcript transcript;
    transcript.AddMask("/tmp/run", "<home>");
    transcript.Write(Line{{"/tmp/run", Line::array({"/tmp/run/a:/tmp/run/b", Line{{"p", "x/tmp/run"}}})}});
    const auto line = transcript.GetLines().at(0);
    EXPECT_EQ(line["/tmp/run"][0], "<home>/a:<home>/b");
    EXPECT_EQ(line["/tmp/run"][1]["p"], "x<home>");
}

TEST(Transcript, TheLongerOfNestedMasksWins) {
    Transcript transcript;
    transcript.AddMask("/h", "<home>");
    transcript.AddMask("/h/mod.apx", "<module>");
    EXPECT_EQ(transcript.Mask("/h/mod.apx and /h/x"), "<module> and <home>/x");
}

TEST(Transcript, BrokenUtf8FromTheAddOnDoesNotStopTheRecord) {
    std::ostringstream out;
    Transcript transcript;
    transcript.SetOutput(&out);
    transcript.Write(Line{{"debug", std::string("bad \xFF byte")}});
    EXPECT_NE(out.str().find("bad"), std::string::npos);
    EXPECT_EQ(transcript.GetLineCount(), 1u);
}

TEST(Transcript, ResultCodesAreZeroOrHex) {
    EXPECT_EQ(HostSim::ResultCode(NoError), Line(0));
    EXPECT_EQ(HostSim::ResultCode(static_cast<GSErrCode>(0x81060387u)), Line("0x81060387"));
}

} // namespace
