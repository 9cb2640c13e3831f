// Speed of the scene reader on scene files like those `korvo import` writes: one polygon
// object of a UV sphere (points, polygons and texture coordinates) at about 100K and 1M
// triangles, written by the scene writer to a temporary file and read back whole.
// The counter "bytes_per_second" is the reading speed in CPU time; it should not drop
// with size. With KORVO_SCENE=FILE set, that file is read too (readFile), such as the 1M
// sphere that `korvo import` writes.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "korvo/host/generators.h"
#include "korvo/files/platform.h"
#include "korvo/scene/scene_json.h"

namespace korvo {
namespace {

// A sphere of `segments` meridians as a polygon object, written to a file; returns its size.
size_t writeSphereScene(const std::string& path, int32_t segments) {
    SceneObject sphere;
    sphere.type = ObjectType::Sphere;
    sphere.generator.segments = segments;
    sphere.generator.radius = 1;
    SceneObject mesh;
    mesh.name = mesh.id = "Sphere";
    mesh.type = ObjectType::Polygon;
    generateGeometry(sphere, mesh.points, mesh.polygons, mesh.uvw.emplace());
    Scene scene;
    scene.objects.push_back(std::move(mesh));
    const std::string text = sceneToJson(scene);
    std::FILE* file = std::fopen(path.c_str(), "wb");
    std::fwrite(text.data(), 1, text.size(), file);
    std::fclose(file);
    return text.size();
}

// Reads the scene file at `path` (`bytes` long) once per iteration.
void readTimed(benchmark::State& state, const std::string& path, size_t bytes) {
    for (auto _ : state) {
        Scene scene;
        std::string error;
        if (!loadSceneFile(path, scene, error)) state.SkipWithError(error.c_str());
        benchmark::DoNotOptimize(scene.objects.data());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(bytes));
    state.counters["megabytes"] = double(bytes) / 1e6;
}

void readScene(benchmark::State& state) {
    const std::string folder = platform::createTemporaryFolder();
    const std::string path = folder + "/sphere.korvo.json";
    const size_t bytes = writeSphereScene(path, int32_t(state.range(0)));
    readTimed(state, path, size_t(bytes));
    platform::removeFile(path);
    platform::removeFolder(folder);
}

// 316 and 1000 meridians: about 100K and 1M triangles.
BENCHMARK(readScene)->Arg(316)->Arg(1000)->Unit(benchmark::kMillisecond)->MinTime(2.0);

void readFile(benchmark::State& state, const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return state.SkipWithError(("cannot open " + path).c_str());
    std::fseek(file, 0, SEEK_END);
    const long bytes = std::ftell(file);
    std::fclose(file);
    readTimed(state, path, size_t(bytes));
}

}  // namespace
}  // namespace korvo

int main(int argc, char** argv) {
    if (const char* path = std::getenv("KORVO_SCENE")) {
        benchmark::RegisterBenchmark("readFile", korvo::readFile, std::string(path))
            ->Unit(benchmark::kMillisecond)
            ->MinTime(2.0);
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
}
