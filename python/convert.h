#pragma once
// Python values to the morph library's and back: surfaces, parameters,
// vectors, frames, and a failed Result as the Python exception for it.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <string>
#include <vector>

#include "kestrane/kestrane.h"

namespace kestrane_python {

namespace py = pybind11;

// A file path (str, bytes or os.PathLike), a (vertices, faces) pair, an
// object with .vertices and .faces, or a meshio.Mesh. role ("source" or
// "target") names it in errors and in the morph's messages.
kestrane::Surface to_surface(py::handle value, const char* role);

// The options the morph and the Morpher share, by their Python names, in
// the order the signatures list them.
extern const char* const PARAMETER_NAMES[12];
// Checks value and stores it; ValueError or TypeError naming the option.
void set_parameter(kestrane::MorphParameters& p, const std::string& name, py::handle value);
py::object get_parameter(const kestrane::MorphParameters& p, const std::string& name);

// An integer from low to high; ValueError or TypeError naming it.
long long integer(py::handle value, const std::string& name, long long low, long long high);

kestrane::Vector3 to_point(py::handle value, const char* what);
py::tuple point_tuple(const kestrane::Vector3& v);
// A sequence of (start, end) pairs.
std::vector<kestrane::Correspondence> to_vectors(py::handle value);

struct Frame {
    py::array vertices;  // float64 N x 3
    py::array faces;     // int32 M x 3
    py::array normals;   // float32 N x 3
    py::array colours;   // uint8 N x 3
};
Frame to_frame(kestrane::Mesh&& mesh);

// Raises the exception a failed step stands for.
[[noreturn]] void raise_result(const kestrane::Result& result);

}  // namespace kestrane_python
