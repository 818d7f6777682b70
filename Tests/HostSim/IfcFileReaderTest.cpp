#include "IfcFileReader.hpp"
#include "IfcFileWriter.hpp"
#include "ProjectDescription.hpp"
#include "TempFolder.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>

namespace {

using HostSim::IfcFileContent;
using HostSim::ReadIfcFile;

std::optional<IfcFileContent> Read(const std::string& text, std::string* error = nullptr) {
    std::istringstream in(text);
    return ReadIfcFile(in, error);
}

std::string File(const std::string& schema, const std::string& data) {
    return "ISO-10303-21;\nHEADER;\nFILE_DESCRIPTION(('ViewDefinition [CoordinationView]'),'2;1');\n"
           "FILE_NAME('a.ifc','2026-12-09T10:20:30',(''),(''),'tool','tool','');\nFILE_SCHEMA(('" +
           schema + "'));\nENDSEC;\nDATA;\n" + data + "ENDSEC;\nEND-ISO-10303-21;\n";
}

// A storey holding a wall and a slab; the slab's placement is rotated a quarter turn and moved.
const std::string Storey = R"(#1=IFCPROJECT('0YvctVUKr0kugbFTf53O9L',$,'P',$,$,$,$,$,$);
#10=IFCCARTESIANPOINT((0.,0.,0.));
#11=IFCAXIS2PLACEMENT3D(#10,$,$);
#12=IFCLOCALPLACEMENT($,#11);
#20=IFCBUILDINGSTOREY('2hBCIXRnHAPOKiAkyVCiKn',$,'Level 1',$,$,#12,$,$,.ELEMENT.,3.);
#30=IFCCARTESIANPOINT((1.,2.,3.));
#31=IFCAXIS2PLACEMENT3D(#30,$,$);
#32=IFCLOCALPLACEMENT(#12,#31);
#40=IFCWALL('3vB2YO$MX4xv5uCqZZG05x',$,'Wall ''A''',$,$,#32,$,'W1',$);
#50=IFCDIRECTION((0.,0.,1.));
#51=IFCDIRECTION((0.,1.,0.));
#52=IFCCARTESIANPOINT((10.,0.,0.));
#53=IFCAXIS2PLACEMENT3D(#52,#50,#51);
#54=IFCLOCALPLACEMENT(#32,#53);
#60=IFCSLAB('1kTvXnbbzCWw8lcMd1dR4o',$,'Slab',$,$,#54,$,$,.FLOOR.);
#61=IFCCARTESIANPOINT((0.,5.,0.));
#62=IFCAXIS2PLACEMENT3D(#61,$,$);
#63=IFCLOCALPLACEMENT(#54,#62);
#64=IFCDOOR('0kTvXnbbzCWw8lcMd1dR4o',$,'Door',$,$,#63,$,$,$,$,$,$,$);
#70=IFCRELCONTAINEDINSPATIALSTRUCTURE('0Ii8xYOVn5dv7BH5GZDvG1',$,$,$,(#40,#60,#64),#20);
)";

TEST(IfcFileReaderTest, ContainedProductsComeWithGlobalIdNameTypeAndPlacement) {
    const std::optional<IfcFileContent> content = Read(File("IFC4", Storey));
    ASSERT_TRUE(content.has_value());
    EXPECT_EQ(content->schema, "IFC4");
    ASSERT_EQ(content->elements.size(), 3u) << "the storey and the project are no elements";
    EXPECT_EQ(content->elements[0].globalId, "3vB2YO$MX4xv5uCqZZG05x");
    EXPECT_EQ(content->elements[0].name, "Wall 'A'");
    EXPECT_EQ(content->elements[0].entityType, "IFCWALL");
    ASSERT_TRUE(content->elements[0].location.has_value());
    EXPECT_EQ(*content->elements[0].location, (std::array<double, 3>{1.0, 2.0, 3.0}));
    ASSERT_TRUE(content->elements[1].location.has_value());
    EXPECT_EQ(*content->elements[1].location, (std::array<double, 3>{11.0, 2.0, 3.0}));
    // The door's (0, 5, 0) is along the slab's y axis, which the slab's turned x axis makes the world's -x.
    ASSERT_TRUE(content->elements[2].location.has_value());
    EXPECT_NEAR((*content->elements[2].location)[0], 6.0, 1e-9);
    EXPECT_NEAR((*content->elements[2].location)[1], 2.0, 1e-9);
    EXPECT_NEAR((*content->elements[2].location)[2], 3.0, 1e-9);
}

TEST(IfcFileReaderTest, ExportersLayoutsAllReadTheSame) {
    // Reversed entity order, CRLF line breaks, comments between tokens and inside lists, lower-case names.
    std::string reversed;
    std::istringstream lines(Storey);
    std::vector<std::string> all;
    for (std::string line; std::getline(lines, line);)
        all.push_back(line);
    for (auto line = all.rbegin(); line != all.rend(); ++line)
        reversed += *line + "\r\n";
    std::string commented = Storey;
    commented.replace(commented.find("(#40,#60,"), 9, "(/* the wall */ #40 ,\r\n  #60 /* the slab */,");
    commented.replace(commented.find("#40=IFCWALL"), 11, "#40 = /* x */ ifcwall");

    const std::optional<IfcFileContent> plain = Read(File("IFC2X3", Storey));
    ASSERT_TRUE(plain.has_value());
    EXPECT_EQ(plain->schema, "IFC2X3");
    for (const std::string& variant : {reversed, commented}) {
        const std::optional<IfcFileContent> content = Read(File("IFC2X3", variant));
        ASSERT_TRUE(content.has_value());
        ASSERT_EQ(content->elements.size(), 3u);
        for (std::size_t i = 0; i < 3; ++i) {
            EXPECT_EQ(content->elements[i].globalId, plain->elements[i].globalId);
            EXPECT_EQ(content->elements[i].name, plain->elements[i].name);
            EXPECT_EQ(content->elements[i].entityType, plain->elements[i].entityType);
            EXPECT_EQ(content->elements[i].location, plain->elements[i].location);
        }
    }
}

TEST(IfcFileReaderTest, StringEscapesDecodeToUtf8) {
    EXPECT_EQ(HostSim::DecodeStepString("plain"), "plain");
    EXPECT_EQ(HostSim::DecodeStepString("it''s"), "it's");
    EXPECT_EQ(HostSim::DecodeStepString("a\\\\b"), "a\\b");
    EXPECT_EQ(HostSim::DecodeStepString("Gr\\X\\FC\\X\\DFe"), "Grüße");
    EXPECT_EQ(HostSim::DecodeStepString("\\X2\\00FC6771\\X0\\!"), "ü東!");
    EXPECT_EQ(HostSim::DecodeStepString("\\X2\\D83DDE00\\X0\\"), "😀") << "a surrogate pair";
    EXPECT_EQ(HostSim::DecodeStepString("\\X4\\0001F600\\X0\\"), "😀");
    EXPECT_EQ(HostSim::DecodeStepString("\\S\\|"), "ü") << "124 + 128";
    EXPECT_EQ(HostSim::DecodeStepString("\\PA\\x"), "x");
    EXPECT_EQ(HostSim::DecodeStepString("Stra\xC3\x9F"
                                        "e \xE6\x9D\xB1"),
              "Straße 東")
        << "UTF-8 written as it is";
    EXPECT_EQ(HostSim::DecodeStepString("caf\xE9"), "café") << "a byte that starts no UTF-8 sequence is Latin-1";
}

TEST(IfcFileReaderTest, OddInstancesAreSkippedAndEachElementComesOnce) {
    const std::string data = Storey + std::string("#80=(IFCA()IFCB(';'));\n") +
                             "#81=IFCPROPERTYSINGLEVALUE('a;b',$,IFCLABEL('x) ;'),$);\n" +
                             "#82=IFCRELCONTAINEDINSPATIALSTRUCTURE('0Ii8xYOVn5dv7BH5GZDvG2',$,$,$,(#40,#999),#20);\n" +
                             "#83=IFCCARTESIANPOINTLIST3D((" + std::string(200000, ' ') + "(0.,0.,0.)));\n";
    const std::optional<IfcFileContent> content = Read(File("IFC4", data));
    ASSERT_TRUE(content.has_value());
    EXPECT_EQ(content->elements.size(), 3u) << "a reference to nothing is passed over, the wall comes once";
}

TEST(IfcFileReaderTest, PlacementCyclesAndDeepListsDoNotHang) {
    std::string data = Storey;
    data.replace(data.find("#12=IFCLOCALPLACEMENT($,#11)"), 28, "#12=IFCLOCALPLACEMENT(#54,#11)");
    data += "#90=IFCWALL('2vB2YO$MX4xv5uCqZZG05x',$,'deep',$,$," + std::string(10000, '(') + ");\n";
    std::string error;
    const std::optional<IfcFileContent> content = Read(File("IFC4", data), &error);
    ASSERT_TRUE(content.has_value()) << error;
    EXPECT_EQ(content->elements.size(), 3u);
}

TEST(IfcFileReaderTest, OtherTextIsRefused) {
    std::string error;
    EXPECT_FALSE(Read("<?xml version=\"1.0\"?><ifcXML/>", &error).has_value());
    EXPECT_EQ(error, "not an ISO 10303-21 file");
    EXPECT_FALSE(Read("", &error).has_value());
    EXPECT_FALSE(ReadIfcFile(std::filesystem::path("/nonexistent/x.ifc"), &error).has_value());
}

TEST(IfcFileReaderTest, WhatTheHostWritesReadsBackWithItsGlobalIds) {
    QuillmarTest::TempFolder folder;
    const HostSim::ProjectDescription project = HostSim::MakeSyntheticProject(50);
    std::vector<const HostSim::ProjectElement*> elements;
    for (const HostSim::ProjectElement& element : project.elements)
        elements.push_back(&element);
    ASSERT_TRUE(HostSim::WriteIfcFile(folder / "out.ifc", project, elements, {}, "General Translator"));

    const std::optional<IfcFileContent> content = ReadIfcFile(folder / "out.ifc", nullptr);
    ASSERT_TRUE(content.has_value());
    ASSERT_EQ(content->elements.size(), project.elements.size());
    for (std::size_t i = 0; i < elements.size(); ++i) {
        EXPECT_EQ(content->elements[i].globalId, project.elements[i].globalId);
        EXPECT_EQ(content->elements[i].name, project.elements[i].elementId);
    }
}

} // namespace
