// The text writer over the host's file service: the header the driver writes first,
// the text operations, the block depth, and what becomes of a file whose writing failed.
#include "xfile/text_writer.h"

#include <gtest/gtest.h>

#include <string>

#include "host/filename.h"
#include "host/host.h"
#include "file_text.h"
#include "korvo/host/host.h"
#include "settings/export_settings.h"
#include "xfile/export_context.h"
#include "xfile/frame_writer.h"
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
    }
    ~TextWriter() override { setHost(nullptr); }

    std::string path(const char* name) const { return directory + "/" + name; }

    // Opens a writer on `target`, lets `write` use it, closes it when the status allows;
    // true when the file was kept.
    template <typename Write>
    bool writeFile(const std::string& target, Write write) {
        ExportStatus status;
        XTextWriter writer(status);
        EXPECT_TRUE(open(writer, target));
        write(writer);
        writer.finish();
        return status.ok() && writer.close();
    }
    static bool open(XTextWriter& writer, const std::string& target) {
        HostFileName name;
        name.setFromString(HostString(target.c_str()));
        return writer.open(name.get());
    }
    // The header of a file written with the current settings, with an empty root frame
    // when frames are exported.
    bool writeHeaderFile(const std::string& target) {
        return writeFile(target, [this](XTextWriter& writer) {
            ExportStatus unused;
            ExportContext context{settings, nullptr, writer, unused};
            writeHeader(context);
            if (settings.exportFrames) writeRootFrame(writer, settings, [] {});
        });
    }

    korvo::Host host;
    testfiles::ScratchFolder scratch{"writer"};
    const std::string directory = scratch.path();
    ExportSettings settings = kDefaultExportSettings;
};

TEST_F(TextWriter, WithoutFramesTheFileIsTheFixedBlockOnly) {
    settings.exportFrames = 0;
    settings.scaleScene = 1;
    settings.sceneScale = {2.0f, 2.0f, 2.0f};
    EXPECT_TRUE(writeHeaderFile(path("a.x")));
    EXPECT_EQ(readFile(path("a.x")), kBlock);
}

TEST_F(TextWriter, FramesOpenTheRootFrame) {
    EXPECT_TRUE(writeHeaderFile(path("a.x")));
    EXPECT_EQ(readFile(path("a.x")), kBlock + "Frame DORNA_ROOT {\r\n\r\n}\r\n");
}

TEST_F(TextWriter, ScalingGivesTheRootFrameAMatrix) {
    settings.scaleScene = 1;
    settings.sceneScale = {2.0f, 0.5f, -1.0f};
    EXPECT_TRUE(writeHeaderFile(path("a.x")));
    EXPECT_EQ(readFile(path("a.x")), kBlock +
                                         "Frame DORNA_ROOT {\r\n"
                                         "FrameTransformMatrix {\r\n"
                                         "2.000000, 0.000000, 0.000000, 0.000000,\r\n"
                                         "0.000000, 0.500000, 0.000000, 0.000000,\r\n"
                                         "0.000000, 0.000000, -1.000000, 0.000000,\r\n"
                                         "0.000000, 0.000000, 0.000000, 1.000000;;}\r\n"
                                         "\r\n}\r\n");
}

TEST_F(TextWriter, TextAndNumbersGoOutInOrderWhateverTheirLength) {
    const std::string longText(10000, 'n');  // more than the writer gathers at once
    EXPECT_TRUE(writeFile(path("a.x"), [&](XTextWriter& writer) {
        writer.writeText("[");
        writer.writeReal(0.7f);
        writer.writeText(longText.c_str());
        writer.writeInt(-42);
        writer.writeText("]");
    }));
    EXPECT_EQ(readFile(path("a.x")), "[0.700000" + longText + "-42]");
}

TEST_F(TextWriter, AWriterThatCouldNotOpenWritesNothing) {
    ExportStatus status;
    XTextWriter writer(status);
    EXPECT_FALSE(open(writer, path("missing/a.x")));
    writer.writeText("x");
    EXPECT_TRUE(status.ok());
    EXPECT_FALSE(writer.close());
    EXPECT_FALSE(exists(path("missing/a.x")));
    EXPECT_EQ(host.liveCounts().files, 0);
}

TEST_F(TextWriter, AFailedWriteIsRecordedAndTheEarlierFileStays) {
    EXPECT_TRUE(writeFile(path("a.x"), [](XTextWriter& writer) { writer.writeText("first\r\n"); }));
    const std::string earlier = readFile(path("a.x"));

    host.limitWrites(4000);
    ExportStatus status;
    XTextWriter writer(status);
    ASSERT_TRUE(open(writer, path("a.x")));
    writer.writeText(std::string(5000, 'z').c_str());
    EXPECT_EQ(status.first(), ExportFailure::WriteFailed);
    EXPECT_FALSE(writer.close());
    EXPECT_EQ(readFile(path("a.x")), earlier);
}

TEST_F(TextWriter, AFileThatCannotBeKeptIsNeverClosed) {
    EXPECT_TRUE(writeFile(path("a.x"), [](XTextWriter& writer) { writer.writeText("first\r\n"); }));
    const std::string earlier = readFile(path("a.x"));
    {
        ExportStatus status;
        XTextWriter writer(status);
        ASSERT_TRUE(open(writer, path("a.x")));
        writer.writeText("part of a scene");
        writer.discard();
    }
    EXPECT_EQ(readFile(path("a.x")), earlier);
    EXPECT_EQ(host.liveCounts().total(), 0);
}

TEST_F(TextWriter, ABlockLeftOpenAtTheEndFailsTheFile) {
    ExportStatus status;
    XTextWriter writer(status);
    ASSERT_TRUE(open(writer, path("a.x")));
    { const Block closed(writer, "Frame A {\r\n", "}\r\n"); }
    writer.finish();
    EXPECT_TRUE(status.ok());
    const Block open(writer, "Frame B {\r\n", "}\r\n");
    writer.finish();
    EXPECT_EQ(status.first(), ExportFailure::BlocksUnbalanced);
}

TEST_F(TextWriter, WithoutAFileObjectNothingIsWritten) {
    host.refuseAllocation(1);
    ExportStatus status;
    XTextWriter writer(status);
    EXPECT_FALSE(open(writer, path("a.x")));
    writer.writeText("x");
    EXPECT_FALSE(writer.close());
    EXPECT_TRUE(host.faults().empty());
}

}  // namespace
}  // namespace dorna
