// Every allocation an export of the examples asks the host for, refused in turn: the
// command never crashes or hangs, reports every failure, leaves nothing alive, and
// every file it reports as written is whole in structure and holds finite numbers.
// A failed export leaves the earlier file at the target name as it was.
#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "e2e/harness.h"
#include "reliability/xfile_checks.h"

namespace korvo::reliability {
namespace {

using e2e::CommandResult;
using e2e::Limits;
using e2e::runKorvo;
using e2e::timedOut;
using e2e::readFile;
using e2e::TempFolder;

struct SweepCase {
    const char* name;
    const char* example;  // under examples/
    std::vector<std::string> options;
};

std::ostream& operator<<(std::ostream& out, const SweepCase& c) { return out << c.name; }

const SweepCase kCases[] = {
    {"Showcase", "showcase", {}},
    {"ShowcaseWithoutFramesWithStandardMaterial", "showcase",
     {"--no-frames", "--no-unique-names", "--no-phong-angle", "--smoothing-angle", "30", "--standard-material"}},
    {"ShowcaseScaledWithoutNormalsOrTextures", "showcase",
     {"--no-normals", "--no-textures", "--scale-scene", "--scale", "50,100,250"}},
    {"Skinned", "skinned", {}},
    {"SkinnedAnimation", "skinned", {"--animation"}},
    {"SkinnedAnimationOfEveryObject", "skinned",
     {"--animation", "--no-only-bones", "--ticks-per-frame", "160", "--distance-per-frame", "3"}},
    {"SkinnedAnimationWithoutBones", "skinned", {"--animation", "--no-bones", "--no-normals"}},
    {"SkinnedFramePerFile", "skinned", {"--animation", "--frame-per-file", "--distance-per-frame", "5"}},
};

const std::string kTarget = "out.x";
// An earlier export at the target name, with the bytes a careless copy would change.
const std::string kEarlier = "xof 0302txt 0032\r\n// earlier export \xB4\r\nFrame Old {\r\n}\r\n";

class AllocationSweep : public testing::TestWithParam<SweepCase> {
protected:
    CommandResult exportRefusing(int64_t n, const std::string& folder) {
        std::vector<std::string> arguments = {
            "export", std::string(DORNA_SOURCE_DIR) + "/examples/" + GetParam().example + ".korvo.json", "-o",
            kTarget};
        arguments.insert(arguments.end(), GetParam().options.begin(), GetParam().options.end());
        return runKorvo(arguments, folder,
                               {{"KORVO_FAIL_ALLOC", std::to_string(n)}, {"KORVO_CHECK_LEAKS", "1"}}, Limits{});
    }

    // The number of allocations the unrefused export asks for, from the note the
    // command prints when the refused allocation is never reached.
    int64_t allocationsOfTheExport(std::map<std::string, std::string>& files) {
        TempFolder folder;
        const CommandResult r = exportRefusing(int64_t(1) << 40, folder.path());
        EXPECT_EQ(r.status, 0) << r.err;
        for (const std::string& name : folder.entries()) files[name] = readFile(folder / name);
        long long count = -1;
        const size_t note = r.err.find("the save asked for ");
        if (note != std::string::npos) std::sscanf(r.err.c_str() + note, "the save asked for %lld", &count);
        EXPECT_GT(count, 0) << r.err;
        return count;
    }

    // Everything the run left in `folder` is checked; returns false on the first fault.
    bool checkRun(int64_t n, const CommandResult& r, const TempFolder& folder,
                  const std::map<std::string, std::string>& whole) {
        const std::string where = "refused allocation " + std::to_string(n) + ", status " + std::to_string(r.status);
        EXPECT_FALSE(timedOut(r)) << where << ": the export hangs\n" << r.err;
        EXPECT_TRUE(r.status == 0 || r.status == 1) << where << " (3: something left alive)\n" << r.err;
        EXPECT_EQ(r.err.find("refused nothing"), std::string::npos) << where << "\n" << r.err;
        if (r.status == 1) {
            EXPECT_NE(r.err.find("korvo: the export"), std::string::npos) << where << ": no line says why\n" << r.err;
        }
        for (const std::string& name : folder.entries()) {
            EXPECT_NE(name[0], '.') << where << ": a temporary file is left: " << name;
            const auto wholeFile = whole.find(name);
            EXPECT_TRUE(wholeFile != whole.end() || name == kTarget) << where << ": an unexpected file " << name;
            const std::string text = readFile(folder / name);
            if (name == kTarget && r.status != 0) {
                EXPECT_EQ(text, kEarlier) << where << ": the export failed but the earlier file changed";
            }
            if (text == kEarlier) continue;
            EXPECT_EQ(braceFault(text), "") << where << ": " << name;
            EXPECT_EQ(nonFiniteFault(text), "") << where << ": " << name;
            // A success is the whole export: nothing was silently left out.
            if (r.status == 0 && wholeFile != whole.end()) {
                EXPECT_TRUE(text == wholeFile->second) << where << ": " << name << " differs from the whole export";
            }
        }
        return !testing::Test::HasFailure();
    }
};

TEST_P(AllocationSweep, EveryRefusedAllocationEndsCleanly) {
    std::map<std::string, std::string> whole;
    const int64_t total = allocationsOfTheExport(whole);
    ASSERT_GT(total, 0);
    int64_t refused = 0, failed = 0;
    for (int64_t n = 1; n <= total; ++n) {
        TempFolder folder;
        e2e::writeFile(folder / kTarget, kEarlier);
        const CommandResult r = exportRefusing(n, folder.path());
        ++refused;
        failed += r.status == 1;
        if (!checkRun(n, r, folder, whole)) break;
    }
    std::printf("[ sweep ] %s: %lld allocations, %lld refused, %lld exports failed cleanly\n", GetParam().name,
                (long long)total, (long long)refused, (long long)failed);
}

// The sweep is only as good as its checks: they must see what they look for.
TEST(XFileChecks, SeeOpenBracesStrayBracesAndNonFiniteNumbers) {
    EXPECT_EQ(braceFault("Frame A {\r\n Mesh {\r\n \"{tex}.png\";\r\n }\r\n}\r\n"), "");
    EXPECT_EQ(braceFault("Frame A {\r\n Mesh {\r\n}\r\n"), "1 \"{\" not closed at the end");
    EXPECT_EQ(braceFault("}\n{"), "a \"}\" without its \"{\" at line 1");
    EXPECT_EQ(nonFiniteFault("Frame Info_nan {\n 1.000000;inflate;\n}"), "");
    EXPECT_EQ(nonFiniteFault("a\n 1.0;-nan;\nb"), "non-finite number in:  1.0;-nan;");
    EXPECT_EQ(nonFiniteFault("0.5,INF;"), "non-finite number in: 0.5,INF;");
    EXPECT_EQ(nonFiniteFault("-Infinity"), "non-finite number in: -Infinity");
}

INSTANTIATE_TEST_SUITE_P(Reliability, AllocationSweep, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<SweepCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace korvo::reliability
