// The text writer over the host's file service: the header it writes on opening, its
// text operations, and what becomes of a file whose writing failed.
#include "xfile/text_writer.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "host/filename.h"
#include "host/host.h"
#include "file_text.h"
#include "korvo/host.h"
#include "settings/export_settings.h"
#include "xfile/header.h"

namespace dorna {
namespace {

using testfiles::exists;
using testfiles::readFile;


const std::string kBlock(kFixedHeaderBlock, kFixedHeaderBlockSize);

class TextWriter : public ::testing::Test {
protected:
    TextWriter() {
        setHost(host.root());
        initExportSettings();
        std::string pattern = ::testing::TempDir() + "writer-XXXXXX";
        directory = mkdtemp(pattern.data());
    }
    ~TextWriter() override {
        initExportSettings();
        setHost(nullptr);
    }

    std::string path(const char* name) const { return directory + "/" + name; }

    // Opens a writer on `target`, lets `write` use it, closes it; the close's answer.
    template <typename Write>
    bool writeFile(const std::string& target, Write write) {
        XTextWriter writer;
        HostFileName name;
        name.setFromString(HostString(target.c_str()));
        EXPECT_TRUE(writer.open(name.get()));
        write(writer);
        return writer.close();
    }

    korvo::Host host;
    std::string directory;
};

TEST_F(TextWriter, WithoutFramesTheFileIsTheFixedBlockOnly) {
    exportSettings.exportFrames = 0;
    exportSettings.scaleScene = 1;
    exportSettings.sceneScale = {2.0f, 2.0f, 2.0f};
    EXPECT_TRUE(writeFile(path("a.x"), [](XTextWriter&) {}));
    EXPECT_EQ(readFile(path("a.x")), kBlock);
}

TEST_F(TextWriter, FramesOpenTheRootFrame) {
    EXPECT_TRUE(writeFile(path("a.x"), [](XTextWriter&) {}));
    EXPECT_EQ(readFile(path("a.x")), kBlock + "Frame DORNA_ROOT {\r\n");
}

TEST_F(TextWriter, ScalingGivesTheRootFrameAMatrix) {
    exportSettings.scaleScene = 1;
    exportSettings.sceneScale = {2.0f, 0.5f, -1.0f};
    EXPECT_TRUE(writeFile(path("a.x"), [](XTextWriter&) {}));
    EXPECT_EQ(readFile(path("a.x")), kBlock +
                                         "Frame DORNA_ROOT {\r\n"
                                         "FrameTransformMatrix {\r\n"
                                         "2.000000, 0.000000, 0.000000, 0.000000,\r\n"
                                         "0.000000, 0.500000, 0.000000, 0.000000,\r\n"
                                         "0.000000, 0.000000, -1.000000, 0.000000,\r\n"
                                         "0.000000, 0.000000, 0.000000, 1.000000;;}\r\n");
}

TEST_F(TextWriter, TextIndentsNumbersAndStrings) {
    exportSettings.exportFrames = 0;
    EXPECT_TRUE(writeFile(path("a.x"), [](XTextWriter& writer) {
        EXPECT_EQ(writer.writeIndent(0), 1);
        EXPECT_EQ(writer.writeIndent(-3), 1);
        writer.writeText("[");
        writer.writeIndent(2);
        writer.writeText("]");
        writer.writeIndent(17);  // more blanks than one write holds
        writer.writeText("|");
        writer.writeReal(0.7f);
        writer.writeText(";");
        writer.writeInt(-42);
        writer.writeHostString(HostString(""));
        writer.writeHostString(HostString("Arm\xB4"));
    }));
    EXPECT_EQ(readFile(path("a.x")),
              kBlock + "[        ]" + std::string(68, ' ') + "|0.700000;-42Arm\xB4");
}

TEST_F(TextWriter, LongHostStringsAreCutAt511999Characters) {
    exportSettings.exportFrames = 0;
    const std::string longName(600000, 'n');
    EXPECT_TRUE(writeFile(path("a.x"), [&](XTextWriter& writer) {
        writer.writeHostString(HostString(longName.c_str()));
        writer.writeText("|");
        writer.writeHostString(HostString(longName.substr(0, 511999).c_str()));
    }));
    const std::string cut(511999, 'n');
    EXPECT_EQ(readFile(path("a.x")), kBlock + cut + "|" + cut);
}

TEST_F(TextWriter, AWriterThatCouldNotOpenWritesNothing) {
    XTextWriter writer;
    HostFileName name;
    name.setFromString(HostString(path("missing/a.x").c_str()));
    EXPECT_FALSE(writer.open(name.get()));
    EXPECT_FALSE(writer.isOpen());
    EXPECT_EQ(writer.writeIndent(3), 0);
    EXPECT_FALSE(writer.close());
    EXPECT_FALSE(exists(path("missing/a.x")));
    EXPECT_EQ(host.liveCounts().files, 0);
}

TEST_F(TextWriter, AFailedWriteIsRememberedAndTheEarlierFileStays) {
    EXPECT_TRUE(writeFile(path("a.x"), [](XTextWriter& writer) { writer.writeText("first\r\n"); }));
    const std::string earlier = readFile(path("a.x"));

    host.limitWrites(4000);
    XTextWriter writer;
    HostFileName name;
    name.setFromString(HostString(path("a.x").c_str()));
    ASSERT_TRUE(writer.open(name.get()));
    EXPECT_FALSE(writer.writeFailed());
    writer.writeText(std::string(2000, 'z').c_str());
    EXPECT_TRUE(writer.writeFailed());
    writer.writeText("more");  // still failed: the first failure is kept
    EXPECT_TRUE(writer.writeFailed());
    EXPECT_FALSE(writer.close());
    EXPECT_EQ(readFile(path("a.x")), earlier);
}

TEST_F(TextWriter, AnIncompleteFileIsNotKept) {
    EXPECT_FALSE(writeFile(path("a.x"), [](XTextWriter& writer) {
        writer.writeText("part of a scene");
        writer.markIncomplete();
    }));
    EXPECT_FALSE(exists(path("a.x")));
    EXPECT_EQ(host.liveCounts().total(), 0);
}

TEST_F(TextWriter, WithoutAFileObjectNothingIsWritten) {
    host.refuseAllocation(1);
    XTextWriter writer;
    EXPECT_FALSE(writer.hasFile());
    HostFileName name;
    name.setFromString(HostString(path("a.x").c_str()));
    EXPECT_FALSE(writer.open(name.get()));
    EXPECT_EQ(writer.writeText("x"), 0);
    EXPECT_FALSE(writer.close());
    EXPECT_TRUE(host.faults().empty());
}

}  // namespace
}  // namespace dorna
