// The floor of the import's read phase: the model reader alone (assimp's ReadFile with the
// steps the import asks of it: validation, triangulation, sorting by primitive type),
// without any conversion into a document. One read per process by default, as an export
// reads its model into fresh memory (a second read in the same process reuses the
// memory the first gave back, and costs less); with RUNS, the median of that many reads.
// The release of the reader's scene is timed apart.
//
//   read_floor MODEL [RUNS]
//   prints "read SECONDS RELEASE_SECONDS TRIANGLES"
#include <assimp/Importer.hpp>
#include <assimp/postprocess.h>
#include <assimp/scene.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr, "usage: read_floor MODEL [RUNS]\n");
        return 2;
    }
    const int runs = argc == 3 ? std::max(1, std::atoi(argv[2])) : 1;
    const unsigned flags = aiProcess_ValidateDataStructure | aiProcess_Triangulate | aiProcess_SortByPType;
    std::vector<double> reads, releases;
    unsigned long long triangles = 0;
    for (int run = 0; run < runs; ++run) {
        const Clock::time_point start = Clock::now();
        auto importer = std::make_unique<Assimp::Importer>();
        const aiScene* scene = importer->ReadFile(argv[1], flags);
        const Clock::time_point read = Clock::now();
        if (!scene) {
            std::fprintf(stderr, "read_floor: %s: %s\n", argv[1], importer->GetErrorString());
            return 1;
        }
        triangles = 0;
        for (unsigned m = 0; m < scene->mNumMeshes; ++m)
            if (scene->mMeshes[m]->mPrimitiveTypes == aiPrimitiveType_TRIANGLE)
                triangles += scene->mMeshes[m]->mNumFaces;
        importer.reset();
        const Clock::time_point released = Clock::now();
        reads.push_back(std::chrono::duration<double>(read - start).count());
        releases.push_back(std::chrono::duration<double>(released - read).count());
    }
    std::printf("read %.4f %.4f %llu\n", median(reads), median(releases), triangles);
    return 0;
}
