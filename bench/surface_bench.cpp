// The blob's iso-surface against a widely used peer, on the same frames of the song.
//
// surface/sweep_given_field: our marching-cubes sweep over field values already sampled on the
//   23 x 23 x 23 lattice (edge cache reset, cells, vertices, faces).
// surface/build_surface: the whole build_surface: ball animation, field and sweep.
// surface/flying_edges: VTK's vtkFlyingEdges3D, one thread, on a vtkImageData holding exactly the
//   same field values on the same lattice, contoured between the outside (below 0) and the inside
//   (0 and above) values. Built only where VTK is installed.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "bench_suites.hpp"
#include "bench_support.hpp"
#include "blobfx/ball_field.hpp"
#include "blobfx/blob_effect.hpp"
#include "blobfx/surface.hpp"

#ifdef APE_BENCH_HAVE_VTK
#include <vtkFlyingEdges3D.h>
#include <vtkImageData.h>
#include <vtkIntArray.h>
#include <vtkNew.h>
#include <vtkPointData.h>
#include <vtkPolyData.h>
#include <vtkSmartPointer.h>
#endif

namespace apebench {

#ifdef APE_BENCH_HAVE_VTK
void use_one_vtk_thread();  // vtk_threads.cpp
#endif

namespace {

// Every 40th frame of the song: beats, quiet bars and drops alike.
constexpr int kStateStride = 40;

struct SurfaceFrame {
  BlobFrameState before;              // the state build_surface starts from
  std::vector<std::int32_t> lattice;  // the field it samples, after the ball animation
};

const std::vector<SurfaceFrame>& surface_frames() {
  static const std::vector<SurfaceFrame> frames = [] {
    std::vector<SurfaceFrame> out;
    auto effect = std::make_unique<blobfx::BlobEffect>();
    for (const BlobFrameState& s : blob_song_states(90, kStateStride)) {
      restore(*effect, s);
      effect->ball_field->animate();
      SurfaceFrame frame{s, std::vector<std::int32_t>(blobfx::kLatticePoints)};
      // Through the virtual sample, point by point: the values are the field's by definition.
      for (int k = 0; k < blobfx::kLatticePerSide; ++k) {
        for (int j = 0; j < blobfx::kLatticePerSide; ++j) {
          for (int i = 0; i < blobfx::kLatticePerSide; ++i) {
            frame.lattice[static_cast<std::size_t>(blobfx::lattice_index(i, j, k))] =
                effect->ball_field->sample(blobfx::lattice_xy(i), blobfx::lattice_xy(j),
                                           blobfx::lattice_z(k));
          }
        }
      }
      out.push_back(std::move(frame));
    }
    return out;
  }();
  return frames;
}

void sweep_given_field(benchmark::State& state) {
  const std::vector<SurfaceFrame>& frames = surface_frames();
  auto effect = std::make_unique<blobfx::BlobEffect>();
  std::size_t next = 0;
  double faces = 0;
  for (auto _ : state) {
    const SurfaceFrame& frame = frames[next];
    next = (next + 1) % frames.size();
    effect->vertex_count = 0;
    effect->face_count = 0;
    effect->sweep_lattice(frame.lattice.data());
    faces += effect->face_count;
    benchmark::ClobberMemory();
  }
  state.counters["faces"] = benchmark::Counter(faces, benchmark::Counter::kAvgIterations);
}

void build_surface(benchmark::State& state) {
  const std::vector<SurfaceFrame>& frames = surface_frames();
  auto effect = std::make_unique<blobfx::BlobEffect>();
  std::size_t next = 0;
  double faces = 0;
  for (auto _ : state) {
    restore(*effect, frames[next].before);
    next = (next + 1) % frames.size();
    effect->build_surface();
    faces += effect->face_count;
    benchmark::ClobberMemory();
  }
  state.counters["faces"] = benchmark::Counter(faces, benchmark::Counter::kAvgIterations);
}

#ifdef APE_BENCH_HAVE_VTK
void flying_edges(benchmark::State& state) {
  const std::vector<SurfaceFrame>& frames = surface_frames();
  std::vector<vtkSmartPointer<vtkImageData>> images;
  for (const SurfaceFrame& frame : frames) {
    auto image = vtkSmartPointer<vtkImageData>::New();
    image->SetDimensions(blobfx::kLatticePerSide, blobfx::kLatticePerSide, blobfx::kLatticePerSide);
    // x and y as on our lattice; z evenly spaced over the same span (ours alternates 22 and 23).
    image->SetOrigin(blobfx::lattice_xy(0), blobfx::lattice_xy(0), blobfx::lattice_z(0));
    image->SetSpacing(blobfx::kLatticeStep, blobfx::kLatticeStep,
                      (blobfx::lattice_z(blobfx::kCellsPerSide) - blobfx::lattice_z(0)) /
                          static_cast<double>(blobfx::kCellsPerSide));
    vtkNew<vtkIntArray> values;
    values->SetName("field");
    values->SetNumberOfTuples(blobfx::kLatticePoints);
    // VTK's point order is x fastest, then y, then z: the same as lattice_index.
    for (int p = 0; p < blobfx::kLatticePoints; ++p) values->SetValue(p, frame.lattice[p]);
    image->GetPointData()->SetScalars(values);
    images.push_back(image);
  }
  vtkNew<vtkFlyingEdges3D> contour;
  // Halfway between the last outside value (-1) and the first inside one (0).
  contour->SetValue(0, -0.5);
  contour->ComputeNormalsOff();
  contour->ComputeGradientsOff();
  contour->ComputeScalarsOff();
  contour->InterpolateAttributesOff();
  std::size_t next = 0;
  double faces = 0;
  for (auto _ : state) {
    contour->SetInputData(images[next]);
    next = (next + 1) % images.size();
    contour->Update();
    faces += static_cast<double>(contour->GetOutput()->GetNumberOfPolys());
  }
  state.counters["faces"] = benchmark::Counter(faces, benchmark::Counter::kAvgIterations);
}
#endif

}  // namespace

void prepare_surface_peer() {
#ifdef APE_BENCH_HAVE_VTK
  use_one_vtk_thread();
#endif
}

void register_surface_benchmarks() {
  benchmark::RegisterBenchmark("surface/sweep_given_field", sweep_given_field);
  benchmark::RegisterBenchmark("surface/build_surface", build_surface);
#ifdef APE_BENCH_HAVE_VTK
  benchmark::RegisterBenchmark("surface/flying_edges", flying_edges);
#endif
}

}  // namespace apebench
