// The text writer over the host's file service: the header the driver writes first,
// the text operations, the block depth, and what becomes of a file whose writing failed.
#include "xfile/text_writer.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "host/filename.h"
#include "host/host.h"
#include "file_text.h"
#include "korvo/host.h"
#include "settings/export_settings.h"
#include "xfile/export_context.h"
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
        std::string pattern = ::testing::TempDir() + "writer-XXXXXX";
        directory = mkdtemp(pattern.data());
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
    // The header of a file written with the current settings.
    bool writeHeaderFile(const std::string& target) {
        return writeFile(target, [this](XTextWriter& writer) {
            ExportStatus unused;
            ExportContext context{settings, nullptr, writer, unused};
            writeHeader(context);
            // The root frame stays open for the scene.
            while (writer.depth() > 0) writer.leaveBlock();
        });
    }

    korvo::Host host;
    std::string directory;
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
    EXPECT_EQ(readFile(path("a.x")), kBlock + "Frame DORNA_ROOT {\r\n");
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
                                         "0.000000, 0.000000, 0.000000, 1.000000;;}\r\n");
}

TEST_F(TextWriter, TextIndentsAndNumbers) {
    settings.exportFrames = 0;
    EXPECT_TRUE(writeFile(path("a.x"), [](XTextWriter& writer) {
        writer.writeIndent(0);
        writer.writeIndent(-3);
        writer.writeText("[");
        writer.writeIndent(2);
        writer.writeText("]");
        writer.writeIndent(17);  // more blanks than one write holds
        writer.writeText("|");
        writer.writeReal(0.7f);
        writer.writeText(";");
        writer.writeInt(-42);
    }));
    EXPECT_EQ(readFile(path("a.x")), "[        ]" + std::string(68, ' ') + "|0.700000;-42");
}

TEST_F(TextWriter, AWriterThatCouldNotOpenWritesNothing) {
    ExportStatus status;
    XTextWriter writer(status);
    EXPECT_FALSE(open(writer, path("missing/a.x")));
    EXPECT_FALSE(writer.isOpen());
    writer.writeIndent(3);
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

TEST_F(TextWriter, ABlockLeftOpenOrClosedTwiceFailsTheFile) {
    for (int open = 0; open < 2; ++open) {
        ExportStatus status;
        XTextWriter writer(status);
        ASSERT_TRUE(this->open(writer, path("a.x")));
        writer.openBlock("Frame A {\r\n");
        writer.closeBlock("}\r\n");
        if (open) writer.openBlock("Frame B {\r\n");
        else writer.closeBlock("}\r\n");
        writer.finish();
        EXPECT_EQ(status.first(), ExportFailure::BlocksUnbalanced);
    }
}

TEST_F(TextWriter, WithoutAFileObjectNothingIsWritten) {
    host.refuseAllocation(1);
    ExportStatus status;
    XTextWriter writer(status);
    EXPECT_FALSE(writer.hasFile());
    EXPECT_FALSE(open(writer, path("a.x")));
    writer.writeText("x");
    EXPECT_FALSE(writer.close());
    EXPECT_TRUE(host.faults().empty());
}

}  // namespace
}  // namespace dorna
