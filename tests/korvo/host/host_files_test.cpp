// Files and file names: atomic replacement through a temporary file, failed writes
// that leave the earlier file untouched, and suffix handling.
#include <gtest/gtest.h>

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>


#include "file_text.h"
#include "korvo/host/host.h"

namespace korvo {
namespace {

using testfiles::readFile;
using testfiles::writeFile;


std::vector<std::string> entries(const std::string& folder) {
    std::vector<std::string> names;
    DIR* d = opendir(folder.c_str());
    while (dirent* e = readdir(d))
        if (std::string(e->d_name) != "." && std::string(e->d_name) != "..") names.push_back(e->d_name);
    closedir(d);
    std::sort(names.begin(), names.end());
    return names;
}

class HostFiles : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/korvo-files-test-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        folder = pattern;
    }
    void TearDown() override {
        for (const std::string& name : entries(folder)) unlink((folder + "/" + name).c_str());
        rmdir(folder.c_str());
        EXPECT_EQ(host.liveCounts().total(), 0);
        EXPECT_TRUE(host.faults().empty());
    }

    // Opens a file on `path` as the module does; null when the host refuses.
    KrvFile open(const std::string& path) {
        KrvFileName name{};
        h.filename->construct(&name);
        KrvString text{};
        h.string->construct(&text);
        setUtf8(&text, path);
        h.filename->set_string(&name, &text);
        h.string->destroy(&text);
        KrvFile file = h.file->create();
        const int32_t opened = h.file->open(file, &name, 2, 2, 2, KRV_FOURCC('K', 'R', 'V', 'C'), KRV_FOURCC('K', 'R', 'V', '1'));
        h.filename->destroy(&name);
        if (!opened) {
            h.file->free(file);
            return nullptr;
        }
        return file;
    }
    int32_t write(KrvFile file, const std::string& bytes) {
        return h.file->write(file, bytes.data(), static_cast<int32_t>(bytes.size()));
    }

    Host host;
    const KrvHost& h = *host.root();
    std::string folder;
};

TEST_F(HostFiles, ACommittedFileReplacesTheEarlierOneAndLeavesNoTemporary) {
    const std::string path = folder + "/scene.x";
    writeFile(path, "earlier");
    KrvFile file = open(path);
    ASSERT_NE(file, nullptr);
    EXPECT_TRUE(write(file, "xof 0302txt 0032\r\n"));
    EXPECT_EQ(readFile(path), "earlier");  // nothing visible before the close
    EXPECT_TRUE(h.file->close(file));
    h.file->free(file);
    EXPECT_EQ(readFile(path), "xof 0302txt 0032\r\n");
    EXPECT_EQ(entries(folder), std::vector<std::string>{"scene.x"});
    ASSERT_EQ(host.writtenFiles().size(), 1u);
    EXPECT_EQ(host.writtenFiles()[0].path, path);
    EXPECT_EQ(host.writtenFiles()[0].bytes, 18u);
}

TEST_F(HostFiles, AFailedWriteLeavesTheEarlierFileByteForByte) {
    const std::string path = folder + "/scene.x";
    const std::string earlier("earlier\r\n\0\xFF content", 19);
    writeFile(path, earlier);
    host.limitWrites(10);
    KrvFile file = open(path);
    ASSERT_NE(file, nullptr);
    EXPECT_TRUE(write(file, "12345"));
    EXPECT_FALSE(write(file, "678901"));  // over the limit: the file is failed
    EXPECT_FALSE(write(file, "1"));       // and stays failed
    EXPECT_FALSE(h.file->close(file));
    h.file->free(file);
    EXPECT_EQ(readFile(path), earlier);
    EXPECT_EQ(entries(folder), std::vector<std::string>{"scene.x"});
    EXPECT_TRUE(host.writtenFiles().empty());
    ASSERT_EQ(host.fileErrors().size(), 1u);
    EXPECT_NE(host.fileErrors()[0].find(path), std::string::npos);
}

TEST_F(HostFiles, AFileFreedWithoutCloseIsNotCommitted) {
    const std::string path = folder + "/scene.x";
    KrvFile file = open(path);
    ASSERT_NE(file, nullptr);
    write(file, "partial");
    h.file->free(file);
    EXPECT_TRUE(entries(folder).empty());
}

TEST_F(HostFiles, AMissingFolderCannotBeOpened) {
    EXPECT_EQ(open(folder + "/missing/scene.x"), nullptr);
    ASSERT_EQ(host.fileErrors().size(), 1u);
    EXPECT_EQ(host.fileErrors()[0], "cannot create " + folder + "/missing/scene.x: the folder " + folder +
                                         "/missing does not exist");
    EXPECT_EQ(open(folder), nullptr);  // a folder is not a file
}

TEST_F(HostFiles, LineByLineOutputArrivesWhole) {
    const std::string path = folder + "/big.x";
    KrvFile file = open(path);
    ASSERT_NE(file, nullptr);
    std::string expected;
    for (int i = 0; i < 200000; ++i) {
        const std::string line = std::to_string(i * 7919) + ";\r\n";
        expected += line;
        ASSERT_TRUE(write(file, line));
    }
    EXPECT_TRUE(h.file->close(file));
    h.file->free(file);
    EXPECT_EQ(readFile(path), expected);
}

class HostFileNames : public ::testing::Test {
protected:
    std::string after(const std::string& path, void (*edit)(const KrvHost&, KrvFileName*)) {
        KrvFileName name{};
        h.filename->construct(&name);
        KrvString text{};
        h.string->construct(&text);
        setUtf8(&text, path);
        h.filename->set_string(&name, &text);
        edit(h, &name);
        KrvString* back = h.filename->to_string_alloc(&name);
        const std::string result = toUtf8(back);
        h.string->free_allocated(back);
        h.string->destroy(&text);
        h.filename->destroy(&name);
        return result;
    }
    Host host;
    const KrvHost& h = *host.root();
};

void removeSuffix(const KrvHost& h, KrvFileName* name) { h.filename->remove_suffix(name); }
void setSuffixX(const KrvHost& h, KrvFileName* name) {
    KrvString x{};
    h.string->construct(&x);
    setUtf8(&x, "x");
    h.filename->set_suffix(name, &x);
    h.string->destroy(&x);
}

TEST_F(HostFileNames, SuffixesBelongToTheLastComponent) {
    EXPECT_EQ(after("out/scene.x", removeSuffix), "out/scene");
    EXPECT_EQ(after("out.d/scene", removeSuffix), "out.d/scene");
    EXPECT_EQ(after("out/.hidden", removeSuffix), "out/.hidden");
    EXPECT_EQ(after("a.b.c", removeSuffix), "a.b");
    EXPECT_EQ(after("out/scene.korvo", setSuffixX), "out/scene.x");
    EXPECT_EQ(after("out.d/sc\u00E9ne", setSuffixX), "out.d/sc\u00E9ne.x");
    EXPECT_EQ(host.liveCounts().total(), 0);
}

}  // namespace
}  // namespace korvo
