// The opening of a frame: the header line with the cleaned name, the matrix of the
// placement relative to the parent in the file's layout.
#include "xfile/frame_writer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <string>
#include <vector>

#include "module/skin/skin_fixture.h"
#include "skin/placement.h"

namespace dorna {
namespace {

using korvo::SceneObject;

SceneObject nullObject(const std::string& name, korvo::Vec3 position, std::vector<SceneObject> children = {}) {
    SceneObject o;
    o.name = name;
    o.type = korvo::ObjectType::Null;
    o.position = position;
    o.children = std::move(children);
    return o;
}

// The numbers of one matrix row "a, b, c, d," (or ";;}" at the end).
std::vector<double> rowNumbers(const std::string& line) {
    std::vector<double> numbers;
    std::istringstream in(line);
    for (std::string item; std::getline(in, item, ',');)
        if (!item.empty() && item.find_first_not_of(" ;}") != std::string::npos) numbers.push_back(std::stod(item));
    return numbers;
}

std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t end = text.find("\r\n"); end != std::string::npos; end = text.find("\r\n", start)) {
        lines.push_back(text.substr(start, end - start));
        start = end + 2;
    }
    lines.push_back(text.substr(start));
    return lines;
}

class FrameWriter : public WriterTest {
protected:
    // The object's frame as the walk opens it, under the name the file gives it, without
    // what it holds and its closing brace.
    std::string header(KrvObject object) {
        const std::string text = captured([&](ExportContext& c) {
            const Block frame(c.writer, "Frame ", frameName(c.names, object), " {\r\n", "}\r\n");
            writeFrameTransform(c.writer, objectExportMatrix(object));
        });
        EXPECT_EQ(text.substr(text.size() - 3), "}\r\n");
        return text.substr(0, text.size() - 3);
    }
};

TEST_F(FrameWriter, WritesTheCleanedNameAndThePlacementRelativeToTheParent) {
    const KrvObject arm =
        load({nullObject("Shoulder", {10, 0, 0}, {nullObject("Lower Arm.L", {1, 2, 3})})}, "Lower Arm.L");
    const std::string text = header(arm);
    EXPECT_EQ(text,
              "Frame Lower_Arm_L {\r\n"
              "FrameTransformMatrix {\r\n"
              "1.000000, 0.000000, 0.000000, 0.000000,\r\n"
              "0.000000, 1.000000, 0.000000, 0.000000,\r\n"
              "0.000000, 0.000000, 1.000000, 0.000000,\r\n"
              "1.000000, 2.000000, 3.000000, 1.000000;;}");
}

TEST_F(FrameWriter, EachOfTheFirstThreeRowsHoldsOneComponentOfTheThreeAxes) {
    // A quarter turn whose axes are (0, 0, -1), (0, 1, 0) and (1, 0, 0); scaled by 2 along
    // the first so that rows and columns cannot be confused.
    SceneObject turned = nullObject("Turned", {4, 5, 6});
    turned.rotation = {1.5707963267948966, 0, 0};
    turned.scale = {2, 1, 1};
    const KrvObject object = load(turned);
    const std::vector<std::string> lines = linesOf(header(object));
    ASSERT_EQ(lines.size(), 6u);
    const double expected[4][4] = {{0, 0, 1, 0}, {0, 1, 0, 0}, {-2, 0, 0, 0}, {4, 5, 6, 1}};
    for (int row = 0; row < 4; ++row) {
        const std::vector<double> numbers = rowNumbers(lines[2 + row]);
        ASSERT_EQ(numbers.size(), 4u) << lines[2 + row];
        for (int column = 0; column < 4; ++column)
            EXPECT_NEAR(numbers[column], expected[row][column], 1e-6) << "row " << row << ": " << lines[2 + row];
    }
    EXPECT_EQ(lines[5].substr(lines[5].size() - 3), ";;}");
}

TEST_F(FrameWriter, AnEmptyNameStillGivesAnIdentifier) {
    const KrvObject object = load(nullObject("", {0, 0, 0}));
    const std::string text = header(object);
    EXPECT_EQ(text.substr(0, text.find("\r\n")), "Frame _ {");
}

TEST_F(FrameWriter, WritesNothingWithoutAnOpenFile) {
    const KrvObject object = load(nullObject("Arm", {1, 2, 3}));
    ExportStatus status;
    {
        XTextWriter writer(status);
        const Block frame(writer, "Frame ", NameText{"Arm", 3}, " {\r\n", "}\r\n");
        writeFrameTransform(writer, objectExportMatrix(object));
    }
    EXPECT_TRUE(status.ok());  // no write reached the host
    expectNothingHeld();
}

}  // namespace
}  // namespace dorna
