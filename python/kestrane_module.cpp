// The Python module `kestrane`: the morph library's one-call morph and its
// Morpher, with numpy arrays in and out.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <array>
#include <cstdio>
#include <string>

#include "background_call.h"
#include "base/version.h"
#include "convert.h"
#include "kestrane/kestrane.h"

namespace py = pybind11;
using namespace kestrane_python;

namespace {

constexpr const char* OPTIONS_DOC = R"(
Options (the command line's defaults and ranges):
    frames=20        frames of the whole morph, 2 to 65535 (-f)
    points=20        sample points along the shortest side, 1 to 32767 (-p)
    voxel_size=None  a voxel's edge in the source's units (after transform),
                     instead of points (-d)
    resolution=1     isosurface lattice step in samples, 1 to 8 (-r)
    quick=False      shape-based morph without spheres (-q)
    centres=True     move the target's centre onto the source's (alone: -c)
    sizes=True       and scale the target to the source's box volume
                     (both False: -z, each keeps its own centre and size)
    antialias=1.1    antialiasing distance in samples; 1 or less (0) disables (-a)
    transform=None   affine 4 x 4 matrix applied to every source vertex, as
                     it multiplies a column (x, y, z, 1): the translation is
                     its last column; or -t's 16 numbers (column-major)
    strength=1.0     link range of the automatic correspondence, above 0
    locality=1.0     sphere extraction locality, above 0
    vectors=()       manual correspondences: (start, end) pairs of points,
                     start on the source and end on the target, in their units
    threads=0        worker threads, 0 to 256; 0 uses every core (-j)
    progress=None    callable receiving a ProgressEvent at every step
)";

constexpr const char* ERRORS_DOC = R"(
Errors: OSError (FileNotFoundError, ...) when a file cannot be opened,
MemoryError when the morph does not fit, KeyboardInterrupt on Ctrl-C or
SIGINT, ValueError for a bad option, a bad mesh or a failed morph; the
message names the file. Warnings (a surface enclosing nothing at this
sampling, too many spheres) are issued as kestrane.MorphWarning.
)";

void check_callable(py::handle progress)
{
    if (!progress.is_none() && !PyCallable_Check(progress.ptr()))
        throw py::type_error("progress must be callable or None, not " +
                             std::string(Py_TYPE(progress.ptr())->tp_name));
}

// The options in the order of PARAMETER_NAMES.
using ParameterValues = std::array<py::object, 12>;

kestrane::MorphParameters to_parameters(const ParameterValues& values)
{
    kestrane::MorphParameters p;
    for (size_t i = 0; i < values.size(); ++i) set_parameter(p, PARAMETER_NAMES[i], values[i]);
    return p;
}

py::list frame_list(std::vector<kestrane::Mesh>& meshes)
{
    py::list out;
    for (kestrane::Mesh& mesh : meshes) out.append(py::cast(to_frame(std::move(mesh))));
    return out;
}

py::list morph(py::object source, py::object target, py::object frames, py::object points, py::object resolution,
               py::object quick, py::object centres, py::object sizes, py::object antialias, py::object transform,
               py::object strength, py::object locality, py::object vectors, py::object threads, py::object voxel_size,
               py::object progress)
{
    kestrane::MorphOptions options;
    options.parameters = to_parameters(
        {frames, points, resolution, quick, centres, sizes, antialias, transform, strength, locality, threads, voxel_size});
    options.vectors = to_vectors(vectors);
    check_callable(progress);
    const kestrane::Surface from = to_surface(source, "source");
    const kestrane::Surface to = to_surface(target, "target");
    BackgroundCall call(progress);
    options.observer = call.observer();
    options.cancel = call.cancel();
    std::vector<kestrane::Mesh> meshes;
    kestrane::Result failed;
    call.run([&] {
        try {
            meshes = kestrane::morph(from, to, options);
        } catch (const kestrane::MorphError& e) {
            failed = e.result();
        }
    });
    if (!failed.ok()) raise_result(failed);
    return frame_list(meshes);
}

// kestrane.Morpher: one morph worked step by step. Its vectors are kept
// here, in the caller's own numbers, and given to the morph after every
// load (a load clears the library's).
struct PyMorpher {
    kestrane::Morpher morpher;
    std::vector<kestrane::Correspondence> vectors;
    py::object progress = py::none();
    bool busy = false;  // a call is running (a progress callback, another thread)

    void idle() const
    {
        if (busy) throw std::runtime_error("the Morpher is busy with another call");
    }

    // Runs one step on a worker thread with the observer attached.
    template <class Work>
    void run(Work&& work)
    {
        idle();
        busy = true;
        BackgroundCall call(progress);
        morpher.set_observer(call.observer());
        try {
            call.run([&] { work(call.cancel()); });
        } catch (...) {
            morpher.set_observer(nullptr);
            busy = false;
            throw;
        }
        morpher.set_observer(nullptr);
        busy = false;
    }

    void load(py::object source, py::object target)
    {
        idle();
        const kestrane::Surface from = to_surface(source, "source");
        const kestrane::Surface to = to_surface(target, "target");
        kestrane::Result r;
        try {
            run([&](const std::atomic<bool>*) { r = morpher.load(from, to); });
        } catch (...) {
            // The load ran to its end, but an interrupted load leaves nothing.
            morpher.release();
            throw;
        }
        if (!r) raise_result(r);
        for (const kestrane::Correspondence& v : vectors) morpher.add_vector(v);
    }

    void step(kestrane::Result (kestrane::Morpher::*what)())
    {
        kestrane::Result r;
        run([&](const std::atomic<bool>*) { r = (morpher.*what)(); });
        if (!r) raise_result(r);
    }

    Frame frame(py::object index, py::object count)
    {
        idle();
        const int n = count.is_none() ? morpher.parameters().frame_count
                                      : static_cast<int>(integer(count, "count", 2, 65535));
        const long long i = integer(index, "index", 0, n - 1);
        kestrane::Mesh mesh;
        kestrane::Result r;
        run([&](const std::atomic<bool>* cancel) {
            kestrane::FrameOptions options;
            options.cancel = cancel;
            r = morpher.frame(static_cast<int>(i), n, &mesh, options);
        });
        if (!r) raise_result(r);
        return to_frame(std::move(mesh));
    }

    Frame frame_at(double t)
    {
        if (!(t >= 0 && t <= 1)) throw py::value_error("t must be 0 to 1, not " + std::string(py::str(py::float_(t))));
        kestrane::Mesh mesh;
        kestrane::Result r;
        run([&](const std::atomic<bool>* cancel) {
            kestrane::FrameOptions options;
            options.cancel = cancel;
            r = morpher.frame_at(t, &mesh, options);
        });
        if (!r) raise_result(r);
        return to_frame(std::move(mesh));
    }

    void replace_vectors(std::vector<kestrane::Correspondence> list)
    {
        idle();
        vectors = std::move(list);
        if (!morpher.loaded()) return;
        morpher.clear_vectors();
        for (const kestrane::Correspondence& v : vectors) morpher.add_vector(v);
    }
};

py::list vector_list(const std::vector<kestrane::Correspondence>& vectors)
{
    py::list out;
    for (const kestrane::Correspondence& v : vectors) out.append(py::make_tuple(point_tuple(v.start), point_tuple(v.end)));
    return out;
}

std::string array_summary(const Frame& f)
{
    return "<kestrane.Frame: " + std::to_string(f.vertices.shape(0)) + " vertices, " +
           std::to_string(f.faces.shape(0)) + " triangles>";
}

}  // namespace

PYBIND11_MODULE(kestrane, m)
{
    // The docstrings give the signatures with the defaults as Python shows them.
    py::options options;
    options.disable_function_signatures();
    m.doc() = R"(Kestrane morphs one closed surface into another.

    frames = kestrane.morph("a.off", "b.stl", frames=20)

gives every frame of the morph as a Frame: vertices (float64, N x 3, in the
source's units), faces (int32, M x 3 triangles), normals (float32, N x 3,
unit length) and colours (uint8, N x 3). A surface is a file name (OFF,
STL, OBJ, PLY, glTF), a (vertices, faces) pair of arrays (faces M x k, or a
list of index lists for polygons of mixed sizes), or a mesh object with
.vertices and .faces (trimesh) or .points and .cells (meshio).
kestrane.Morpher works step by step.)";
    m.attr("__version__") = std::to_string(kestrane::VERSION_NUMBER).substr(0, 3) + kestrane::VERSION_LETTER;

    morph_warning = PyErr_NewExceptionWithDoc(
        "kestrane.MorphWarning", "A problem the morph worked around: a surface enclosing nothing at this sampling, "
                                 "or too many spheres (quick morphing instead).",
        PyExc_UserWarning, nullptr);
    m.attr("MorphWarning") = py::reinterpret_borrow<py::object>(morph_warning);

    py::class_<Frame>(m, "Frame", "One frame of a morph: a triangle mesh with per-vertex normals and colours.")
        .def_readonly("vertices", &Frame::vertices, "float64 N x 3: positions in the source's units")
        .def_readonly("faces", &Frame::faces, "int32 M x 3: triangles, counter-clockwise seen from outside")
        .def_readonly("normals", &Frame::normals, "float32 N x 3: unit normals pointing out of the shape")
        .def_readonly("colours", &Frame::colours, "uint8 N x 3: RGB colours")
        .def("__repr__", &array_summary);

    py::class_<kestrane::ProgressEvent>(m, "ProgressEvent",
                                        "What a morph is doing: stage is one of reading, sizing, converting, "
                                        "transforming, extracting, linking and frame.")
        .def_property_readonly("stage", [](const kestrane::ProgressEvent& e) { return stage_name(e.stage); })
        .def_readonly("side", &kestrane::ProgressEvent::side, "0 the source, 1 the target, -1 both or neither")
        .def_readonly("item", &kestrane::ProgressEvent::item, "the file or surface the stage works on")
        .def_readonly("format", &kestrane::ProgressEvent::format, "reading: the format the file is read as")
        .def_readonly("done", &kestrane::ProgressEvent::done, "units finished (polygons, slices)")
        .def_readonly("total", &kestrane::ProgressEvent::total, "units in all; 0 when the stage has no count")
        .def_readonly("frame", &kestrane::ProgressEvent::frame, "frame: its number, from 0")
        .def_readonly("frame_count", &kestrane::ProgressEvent::frame_count)
        .def_readonly("triangles", &kestrane::ProgressEvent::triangles, "frame: triangles so far")
        .def_readonly("finished", &kestrane::ProgressEvent::finished, "the stage's last event")
        .def("__repr__", [](const kestrane::ProgressEvent& e) {
            std::string s = std::string("<kestrane.ProgressEvent ") + stage_name(e.stage);
            if (e.side >= 0) s += e.side == 0 ? " source" : " target";
            if (e.frame >= 0) s += " " + std::to_string(e.frame) + " of " + std::to_string(e.frame_count);
            if (e.total > 0) s += " " + std::to_string(e.done) + "/" + std::to_string(e.total);
            if (e.finished) s += " finished";
            return s + ">";
        });

    const std::string morph_doc = std::string(R"(morph(source, target, frames=20, points=20, resolution=1, quick=False, centres=True, sizes=True, antialias=1.1, transform=None, strength=1.0, locality=1.0, vectors=(), threads=0, voxel_size=None, progress=None) -> list of Frame

Every frame of the morph of source into target: the first lies on the
source, the last is the target (moved onto the source unless centres and
sizes are off). The frames equal kestrane-batch's PLY frames of the same
morph. The work runs without the GIL; Ctrl-C stops it.
)") + OPTIONS_DOC + ERRORS_DOC;
    m.def("morph", &morph, py::arg("source"), py::arg("target"), py::arg("frames") = 20, py::arg("points") = 20,
          py::arg("resolution") = 1, py::arg("quick") = false, py::arg("centres") = true, py::arg("sizes") = true,
          py::arg("antialias") = 1.1, py::arg("transform") = py::none(), py::arg("strength") = 1.0,
          py::arg("locality") = 1.0, py::arg("vectors") = py::tuple(), py::arg("threads") = 0,
          py::arg("voxel_size") = py::none(), py::arg("progress") = py::none(), morph_doc.c_str());

    const std::string morpher_doc = std::string(R"(Morpher(frames=20, points=20, resolution=1, quick=False, centres=True, sizes=True, antialias=1.1, transform=None, strength=1.0, locality=1.0, vectors=(), threads=0, voxel_size=None, progress=None)

One morph worked step by step:

    m = kestrane.Morpher(points=40)
    m.load("a.off", "b.off")       # reads, converts, analyses, finds spheres
    m.strength = 2.0; m.link()     # link again at another strength
    m.add_vector((0, 0, 1), (0, 0, 2))
    first, half = m.frame(0), m.frame_at(0.5)

Every option is also an attribute, checked when set. The sizing ones take
effect at the next load, the locality at the next extract_spheres, the
strength at the next link; frames is the count frame() divides the morph
into. The vectors are kept across loads. One call at a time.
)") + OPTIONS_DOC + ERRORS_DOC;
    auto morpher = py::class_<PyMorpher>(m, "Morpher", morpher_doc.c_str());
    morpher.def(py::init([](py::object frames, py::object points, py::object resolution, py::object quick,
                            py::object centres, py::object sizes, py::object antialias, py::object transform,
                            py::object strength, py::object locality, py::object vectors, py::object threads,
                            py::object voxel_size, py::object progress) {
                    auto* self = new PyMorpher;
                    try {
                        self->morpher.parameters() = to_parameters({frames, points, resolution, quick, centres, sizes,
                                                                    antialias, transform, strength, locality, threads,
                                                                    voxel_size});
                        self->vectors = to_vectors(vectors);
                        check_callable(progress);
                        self->progress = progress;
                    } catch (...) {
                        delete self;
                        throw;
                    }
                    return self;
                }),
                py::arg("frames") = 20, py::arg("points") = 20, py::arg("resolution") = 1, py::arg("quick") = false,
                py::arg("centres") = true, py::arg("sizes") = true, py::arg("antialias") = 1.1,
                py::arg("transform") = py::none(), py::arg("strength") = 1.0, py::arg("locality") = 1.0,
                py::arg("vectors") = py::tuple(), py::arg("threads") = 0, py::arg("voxel_size") = py::none(),
                py::arg("progress") = py::none());
    for (const char* name : PARAMETER_NAMES)
        morpher.def_property(
            name,
            [name](const PyMorpher& self) {
                self.idle();
                return get_parameter(self.morpher.parameters(), name);
            },
            [name](PyMorpher& self, py::object value) {
                self.idle();
                set_parameter(self.morpher.parameters(), name, value);
            });
    morpher
        .def_property(
            "progress", [](const PyMorpher& self) { return self.progress; },
            [](PyMorpher& self, py::object value) {
                check_callable(value);
                self.progress = value;
            },
            "callable receiving a ProgressEvent at every step, or None")
        .def("load", &PyMorpher::load, py::arg("source"), py::arg("target"),
             "load(source, target)\n\nReads, sizes and converts both surfaces, computes their distance fields and, "
             "unless quick, their spheres and links; then adds the vectors. A source or target is a file name, a "
             "(vertices, faces) pair or a mesh object, as for kestrane.morph.")
        .def_property_readonly(
            "loaded",
            [](const PyMorpher& self) {
                self.idle();
                return self.morpher.loaded();
            },
            "whether both surfaces are loaded")
        .def(
            "release", [](PyMorpher& self) {
                self.idle();
                self.morpher.release();
            },
            "release()\n\nFrees both volumes and the spheres (the vectors stay for the next load).")
        .def(
            "extract_spheres", [](PyMorpher& self) { self.step(&kestrane::Morpher::extract_spheres); },
            "extract_spheres()\n\nExtracts both volumes' spheres at the current locality, then links them. Nothing to do when quick.")
        .def(
            "link", [](PyMorpher& self) { self.step(&kestrane::Morpher::link); },
            "link()\n\nLinks the spheres again at the current strength, with the vectors.")
        .def_property_readonly(
            "sphere_counts",
            [](const PyMorpher& self) {
                self.idle();
                return py::make_tuple(self.morpher.sphere_count(0), self.morpher.sphere_count(1));
            },
            "(source, target) sphere counts")
        .def_property_readonly(
            "linked_counts",
            [](const PyMorpher& self) {
                self.idle();
                return py::make_tuple(self.morpher.linked_count(0), self.morpher.linked_count(1));
            },
            "(source, target) counts of linked spheres")
        .def(
            "add_vector",
            [](PyMorpher& self, py::object start, py::object end) {
                self.idle();
                const kestrane::Correspondence v{to_point(start, "start"), to_point(end, "end")};
                self.vectors.push_back(v);
                if (self.morpher.loaded()) self.morpher.add_vector(v);
            },
            py::arg("start"), py::arg("end"),
            "add_vector(start, end)\n\nA manual correspondence from a point of the source to a point of the target, "
            "each in its own surface's units (the source's before its transform). Used from the next link or frame.")
        .def(
            "remove_vector",
            [](PyMorpher& self, long long index) {
                self.idle();
                const long long n = static_cast<long long>(self.vectors.size());
                if (index < 0) index += n;
                if (index < 0 || index >= n) throw py::index_error("vector index out of range");
                self.vectors.erase(self.vectors.begin() + index);
                if (self.morpher.loaded()) self.morpher.remove_vector(static_cast<size_t>(index));
            },
            py::arg("index"), "remove_vector(index)\n\nRemoves the vector at index (negative counts from the end).")
        .def(
            "clear_vectors", [](PyMorpher& self) { self.replace_vectors({}); }, "clear_vectors()\n\nRemoves every vector.")
        .def_property(
            "vectors", [](const PyMorpher& self) { return vector_list(self.vectors); },
            [](PyMorpher& self, py::object value) { self.replace_vectors(to_vectors(value)); },
            "the manual vectors as a list of (start, end) pairs of points")
        .def("frame", &PyMorpher::frame, py::arg("index"), py::arg("count") = py::none(),
             "frame(index, count=None) -> Frame\n\nFrame index (from 0) of count (default: the frames option); "
             "0 is the source, count - 1 the target. Links first when something changed since the last link.")
        .def("frame_at", &PyMorpher::frame_at, py::arg("t"),
             "frame_at(t) -> Frame\n\nThe morph at time t, 0 (the source) to 1 (the target).")
        .def("__repr__", [](const PyMorpher& self) {
            if (self.busy) return std::string("<kestrane.Morpher: busy>");
            if (!self.morpher.loaded()) return std::string("<kestrane.Morpher: not loaded>");
            return "<kestrane.Morpher: spheres " + std::to_string(self.morpher.sphere_count(0)) + " and " +
                   std::to_string(self.morpher.sphere_count(1)) + ", " + std::to_string(self.vectors.size()) +
                   " vectors>";
        });
}
