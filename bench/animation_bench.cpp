// Skinning and animation against the stand-in host in-process:
// - the animation set of 100 animated bones (ten chains of ten) over 1,000 frames: one
//   evaluation of the document per key, 100,000 keys; "per_key" is the CPU time of one;
// - the skin of a grid mesh of 2 x 300 x 300 triangles under 30 bones, each weighting an
//   overlapping band of rows: gathering is linear in the corners per bone; "per_triangle"
//   is the CPU time per triangle.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "host/filename.h"
#include "host/host.h"
#include "korvo/host/host.h"
#include "korvo/scene/scene.h"
#include "mesh/export_mesh.h"
#include "settings/export_settings.h"
#include "skin/skin_weights.h"
#include "xfile/animation_writer.h"
#include "xfile/export_context.h"
#include "xfile/scene_walk.h"
#include "xfile/skin_writer.h"
#include "xfile/text_writer.h"

namespace {

// The module talks to a fresh host; its output goes to a scratch file.
class Session {
public:
    Session() : path_("/tmp/dorna-bench-" + std::to_string(getpid()) + ".x") {
        dorna::setHost(host.root());
    }
    ~Session() {
        dorna::setHost(nullptr);
        unlink(path_.c_str());
    }

    // Writes a file of `document` through `write`, which takes the export record.
    template <typename Write>
    void writeFile(KrvDocument document, Write write) {
        dorna::ExportStatus status;
        dorna::XTextWriter writer(status);
        dorna::ExportContext context{dorna::kDefaultExportSettings, document, writer, status};
        dorna::HostFileName name;
        name.setFromString(dorna::HostString(path_.c_str()));
        if (!writer.open(name.get())) return;
        write(context);
        if (!writer.close()) std::fprintf(stderr, "the benchmark's file was not kept\n");
    }

    korvo::Host host;

private:
    std::string path_;
};

korvo::SceneObject animatedBone(int32_t chain, int32_t link, int32_t endFrame) {
    korvo::SceneObject bone;
    bone.name = "Bone_" + std::to_string(chain) + "_" + std::to_string(link);
    bone.type = korvo::ObjectType::Bone;
    bone.position = {0, 1, 0};
    for (int32_t frame = 0; frame <= endFrame; frame += 100) {
        const double phase = 0.1 * (frame / 100 + link);
        bone.animation.rotation.push_back({double(frame), {phase, 0.5 * phase, 0}});
        bone.animation.position.push_back({double(frame), {0, 1 + 0.01 * phase, 0}});
    }
    return bone;
}

void BM_AnimationSet(benchmark::State& state) {
    const int32_t bones = static_cast<int32_t>(state.range(0));
    const int32_t endFrame = static_cast<int32_t>(state.range(1));
    Session session;
    korvo::Scene scene;
    scene.fps = 30;
    scene.end = korvo::Time{double(endFrame), 30};
    for (int32_t chain = 0; chain < bones / 10; ++chain) {
        korvo::SceneObject top = animatedBone(chain, 9, endFrame);
        for (int32_t link = 8; link >= 0; --link) {
            korvo::SceneObject parent = animatedBone(chain, link, endFrame);
            parent.children.push_back(std::move(top));
            top = std::move(parent);
        }
        scene.objects.push_back(std::move(top));
    }
    const KrvDocument document = session.host.loadDocument(scene);

    for (auto _ : state) session.writeFile(document, [](dorna::ExportContext& context) { dorna::writeAnimationSet(context); });
    state.counters["per_key"] = benchmark::Counter(double(bones) * endFrame * state.iterations(),
                                                   benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_AnimationSet)->Args({100, 1000})->Args({10, 1000})->Unit(benchmark::kMillisecond);

// n x n squares of two triangles in the z = 0 plane; bone b weights rows 10b .. 10b + 19.
korvo::Scene skinnedGrid(int32_t n, int32_t bones) {
    korvo::SceneObject grid;
    grid.name = "Grid";
    grid.type = korvo::ObjectType::Polygon;
    for (int32_t row = 0; row <= n; ++row)
        for (int32_t column = 0; column <= n; ++column) grid.points.push_back({double(column), double(row), 0});
    const auto point = [n](int32_t row, int32_t column) { return row * (n + 1) + column; };
    for (int32_t row = 0; row < n; ++row)
        for (int32_t column = 0; column < n; ++column) {
            const int32_t a = point(row, column), b = point(row + 1, column), c = point(row + 1, column + 1),
                          d = point(row, column + 1);
            grid.polygons.push_back({a, b, c, c});
            grid.polygons.push_back({a, c, d, d});
        }
    korvo::Scene scene;
    scene.objects.push_back(grid);
    for (int32_t b = 0; b < bones; ++b) {
        korvo::SceneObject bone;
        bone.name = "B" + std::to_string(b);
        bone.type = korvo::ObjectType::Bone;
        bone.rest.position = korvo::Vec3{0, double(10 * b), 0};
        korvo::BoneWeights weights{bone.name, std::vector<double>(grid.points.size(), 0.0)};
        for (int32_t row = 10 * b; row < 10 * b + 20 && row <= n; ++row)
            for (int32_t column = 0; column <= n; ++column) weights.perPoint[point(row, column)] = 1.0;
        scene.objects[0].weights.push_back(std::move(weights));
        scene.objects.push_back(std::move(bone));
    }
    return scene;
}

void BM_SkinOfGrid(benchmark::State& state) {
    const int32_t n = static_cast<int32_t>(state.range(0));
    Session session;
    const KrvDocument document = session.host.loadDocument(skinnedGrid(n, 30));
    const KrvObject grid = session.host.findObject(document, "Grid");
    dorna::ExportMesh mesh{};
    dorna::ExportStatus built;
    if (!dorna::buildExportMesh(mesh, grid, dorna::meshOptionsOf(dorna::kDefaultExportSettings), built)) {
        state.SkipWithError("storage refused");
        return;
    }
    const dorna::MeshArrays arrays = dorna::finishExportMesh(mesh, nullptr, nullptr);

    for (auto _ : state) {
        session.writeFile(document, [&](dorna::ExportContext& context) {
            dorna::SkinData skin;
            dorna::initSkinData(skin);
            dorna::writeMeshSkin(context, skin, grid, arrays.vertexCount, arrays.indices, arrays.indexCount);
            dorna::releaseSkinData(skin);
        });
    }
    state.counters["per_triangle"] = benchmark::Counter(2.0 * n * n * state.iterations(),
                                                        benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_SkinOfGrid)->Arg(100)->Arg(300)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
