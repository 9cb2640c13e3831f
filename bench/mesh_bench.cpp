// buildExportMesh on two large meshes, each at about 100K and 1M triangles:
// - a UV sphere whose texture seam and poles split points by texture coordinate, at the
//   default smoothing angle;
// - a bumpy grid at smoothing angle 0, where nearly every corner gets a vertex of its
//   own (millions of added vertices at 1M).
// The counter "per_triangle" is the CPU time per triangle; it should not grow with size.
//
// Two ways of giving the module memory, so that both sizes are compared like with like:
// "warm" keeps freed memory in the process (the conversion alone); "cold" maps every
// block of 64 KB or more afresh and returns it to the system when freed, so that each
// run also pays the first touch of its memory, as a single export does. (The stand-in
// host's own allocator, malloc, would mix the two: glibc returns large blocks to the
// system or not depending on their size and on what ran before.)
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <sys/mman.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <random>
#include <utility>

#include "host/host.h"
#include "korvo/host/host.h"
#include "korvo/scene/scene.h"
#include "mesh/export_mesh.h"

namespace {

constexpr double kPi = 3.141592653589793;

void addTriangle(korvo::SceneObject& o, int32_t a, int32_t b, int32_t c) { o.polygons.push_back({a, b, c, c}); }

// `segments` around, `rings` from pole to pole: 2 x segments x (rings - 1) triangles.
// Ring points are shared across the seam, where u jumps from 1 back to 0.
korvo::SceneObject uvSphere(int32_t segments, int32_t rings) {
    korvo::SceneObject o;
    o.name = "Sphere";
    o.type = korvo::ObjectType::Polygon;
    o.uvw.emplace();
    o.points.push_back({0, 1, 0});
    for (int32_t i = 1; i < rings; ++i) {
        const double theta = kPi * i / rings;
        for (int32_t j = 0; j < segments; ++j) {
            const double phi = 2 * kPi * j / segments;
            o.points.push_back({std::sin(theta) * std::cos(phi), std::cos(theta), std::sin(theta) * std::sin(phi)});
        }
    }
    o.points.push_back({0, -1, 0});
    const int32_t south = static_cast<int32_t>(o.points.size()) - 1;
    const auto ringPoint = [segments](int32_t ring, int32_t j) { return 1 + (ring - 1) * segments + j % segments; };
    const auto uv = [segments, rings](int32_t ring, double j) {
        return korvo::Vec2{j / segments, double(ring) / rings};
    };
    for (int32_t j = 0; j < segments; ++j) {
        addTriangle(o, 0, ringPoint(1, j + 1), ringPoint(1, j));
        o.uvw->push_back({{uv(0, j + 0.5), uv(1, j + 1), uv(1, j), uv(1, j)}});
    }
    for (int32_t i = 1; i + 1 < rings; ++i)
        for (int32_t j = 0; j < segments; ++j) {
            addTriangle(o, ringPoint(i, j), ringPoint(i, j + 1), ringPoint(i + 1, j));
            o.uvw->push_back({{uv(i, j), uv(i, j + 1), uv(i + 1, j), uv(i + 1, j)}});
            addTriangle(o, ringPoint(i, j + 1), ringPoint(i + 1, j + 1), ringPoint(i + 1, j));
            o.uvw->push_back({{uv(i, j + 1), uv(i + 1, j + 1), uv(i + 1, j), uv(i + 1, j)}});
        }
    for (int32_t j = 0; j < segments; ++j) {
        addTriangle(o, south, ringPoint(rings - 1, j), ringPoint(rings - 1, j + 1));
        o.uvw->push_back({{uv(rings, j + 0.5), uv(rings - 1, j), uv(rings - 1, j + 1), uv(rings - 1, j + 1)}});
    }
    return o;
}

// n x n squares of two triangles each, with random heights.
korvo::SceneObject bumpyGrid(int32_t n) {
    korvo::SceneObject o;
    o.name = "Grid";
    o.type = korvo::ObjectType::Polygon;
    std::mt19937 random(1);
    std::uniform_real_distribution<double> height(0.0, 1.0);
    for (int32_t y = 0; y <= n; ++y)
        for (int32_t x = 0; x <= n; ++x) o.points.push_back({double(x), height(random), double(y)});
    for (int32_t y = 0; y < n; ++y)
        for (int32_t x = 0; x < n; ++x) {
            const int32_t p = y * (n + 1) + x;
            addTriangle(o, p, p + n + 1, p + 1);
            addTriangle(o, p + 1, p + n + 1, p + n + 2);
        }
    return o;
}

enum Shape { kSphere, kGrid };

// The scenes are built once per shape and size and kept for all runs.
KrvObject meshObject(korvo::Host& host, Shape shape, int64_t triangles) {
    static std::map<std::pair<Shape, int64_t>, KrvObject> loaded;
    auto& object = loaded[{shape, triangles}];
    if (object) return object;
    korvo::Scene scene;
    if (shape == kSphere) {
        const int32_t segments = static_cast<int32_t>(std::lround(std::sqrt(triangles)));
        scene.objects.push_back(uvSphere(segments, static_cast<int32_t>(triangles / (2 * segments)) + 1));
    } else {
        scene.objects.push_back(bumpyGrid(static_cast<int32_t>(std::lround(std::sqrt(triangles / 2.0)))));
    }
    object = host.findObject(host.loadDocument(scene), scene.objects[0].name);
    return object;
}

korvo::Host* benchHost = nullptr;

bool coldMemory = false;
constexpr size_t kMappedFrom = 64 * 1024;
// Before each block: its size, so that free knows how it was taken.
constexpr size_t kHeader = 16;

void* KRV_CALL benchAlloc(size_t bytes, int32_t, int32_t) {
    const size_t total = (bytes ? bytes : 1) + kHeader;
    void* block = nullptr;
    if (coldMemory && total >= kMappedFrom) {
        block = mmap(nullptr, total, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (block == MAP_FAILED) return nullptr;
    } else {
        block = std::malloc(total);
        if (!block) return nullptr;
    }
    *static_cast<size_t*>(block) = coldMemory && total >= kMappedFrom ? total : 0;
    return static_cast<char*>(block) + kHeader;
}

void KRV_CALL benchFree(void* block) {
    if (!block) return;
    char* start = static_cast<char*>(block) - kHeader;
    const size_t mapped = *reinterpret_cast<size_t*>(start);
    if (mapped)
        munmap(start, mapped);
    else
        std::free(start);
}

const KrvMemoryTable benchMemory = {sizeof(KrvMemoryTable), benchAlloc, benchFree};

void convert(benchmark::State& state, Shape shape, float smoothingAngle) {
    const dorna::MeshOptions options{smoothingAngle, true, false, false};
    coldMemory = state.range(1) != 0;
    const KrvObject object = meshObject(*benchHost, shape, state.range(0));
    int32_t polygonCount = 0;
    benchHost->root()->object->polygons(object, &polygonCount);
    if (state.range(1) == 0) {
        // One untimed run gives the process the memory the timed runs reuse.
        dorna::ExportMesh mesh{};
        dorna::ExportStatus status;
        if (!dorna::buildExportMesh(mesh, object, options, status)) state.SkipWithError("storage refused");
        dorna::releaseExportMesh(mesh);
    }
    int64_t vertices = 0;
    for (auto _ : state) {
        dorna::ExportMesh mesh{};
        dorna::ExportStatus status;
        if (!dorna::buildExportMesh(mesh, object, options, status)) state.SkipWithError("storage refused");
        vertices = mesh.vertexCount;
        benchmark::DoNotOptimize(mesh.vertices);
        dorna::releaseExportMesh(mesh);
    }
    state.counters["vertices"] = static_cast<double>(vertices);
    state.counters["per_triangle"] = benchmark::Counter(
        polygonCount, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void uvSphereAtDefaultAngle(benchmark::State& state) { convert(state, kSphere, 80.0f); }
void flatShadedGrid(benchmark::State& state) { convert(state, kGrid, 0.0f); }

BENCHMARK(uvSphereAtDefaultAngle)
    ->ArgNames({"triangles", "cold"})
    ->ArgsProduct({{100000, 1000000}, {0, 1}})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(flatShadedGrid)
    ->ArgNames({"triangles", "cold"})
    ->ArgsProduct({{100000, 1000000}, {0, 1}})
    ->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    // Freed memory stays in the process for the warm runs.
    mallopt(M_MMAP_THRESHOLD, 1 << 30);
    mallopt(M_TRIM_THRESHOLD, 1 << 30);
    korvo::Host host;
    benchHost = &host;
    KrvHost root = *host.root();
    root.memory = &benchMemory;
    dorna::setHost(&root);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    dorna::setHost(nullptr);
    return 0;
}
