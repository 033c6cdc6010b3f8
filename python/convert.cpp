#include "convert.h"

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstring>
#include <sstream>

namespace kestrane_python {

using kestrane::MorphParameters;
using kestrane::Vector3;

namespace {

std::string type_name(py::handle value) { return Py_TYPE(value.ptr())->tp_name; }

std::string number_text(double v)
{
    std::ostringstream out;
    out << v;
    return out.str();
}

// ---- surfaces --------------------------------------------------------------

bool is_array_kind(const py::array& a, const char* kinds) { return std::strchr(kinds, a.dtype().kind()) != nullptr; }

// Appends faces (an M x k integer array, or a sequence of index sequences)
// to object, whose positions are already in place. face_number counts the
// faces across blocks, for messages.
void add_faces(kestrane::PolygonObject& object, py::handle faces, const std::string& role, long& face_number)
{
    const long long count = static_cast<long long>(object.positions.size());
    auto corner = [&](long long index) {
        if (index < 0 || index >= count)
            throw py::value_error(role + ": face " + std::to_string(face_number) + " has vertex index " +
                                  std::to_string(index) + ", outside 0.." + std::to_string(count - 1) + " (" +
                                  std::to_string(count) + " vertices)");
        object.corners.push_back(static_cast<int32_t>(index));
    };
    auto face_size = [&](size_t k) {
        if (k < 3)
            throw py::value_error(role + ": face " + std::to_string(face_number) + " has " + std::to_string(k) +
                                  " corners; a face needs at least 3");
        if (k > INT32_MAX) throw py::value_error(role + ": face " + std::to_string(face_number) + " is too large");
        object.face_sizes.push_back(static_cast<int32_t>(k));
    };

    // An array (or something that makes one) unless a list of index
    // lists, which may hold faces of mixed sizes.
    py::object as_array;
    if (py::isinstance<py::array>(faces)) {
        as_array = py::reinterpret_borrow<py::object>(faces);
    } else if (!py::isinstance<py::list>(faces) && !py::isinstance<py::tuple>(faces) && py::hasattr(faces, "__array__")) {
        as_array = py::array::ensure(faces);
        if (!as_array) throw py::value_error(role + ": faces must be an M x k array of vertex indices");
    }
    py::array array = as_array ? py::reinterpret_borrow<py::array>(as_array) : py::array();
    if (as_array && !(array.dtype().kind() == 'O' && array.ndim() == 1)) {
        if (!is_array_kind(array, "iu"))
            throw py::value_error(role + ": faces must be integer vertex indices, not " +
                                  std::string(py::str(array.dtype())));
        if (array.ndim() != 2)
            throw py::value_error(role + ": faces must be an M x k array (or a list of index lists), not " +
                                  std::to_string(array.ndim()) + "-dimensional");
        auto indices = py::array_t<long long, py::array::c_style | py::array::forcecast>::ensure(array);
        if (!indices) throw py::value_error(role + ": faces must be an M x k array of vertex indices");
        const size_t rows = static_cast<size_t>(indices.shape(0));
        const size_t k = static_cast<size_t>(indices.shape(1));
        if (rows == 0) return;
        const long long* data = indices.data();
        for (size_t f = 0; f < rows; ++f, ++face_number) {
            face_size(k);
            for (size_t c = 0; c < k; ++c) corner(data[f * k + c]);
        }
        return;
    }
    if (!PySequence_Check(faces.ptr()) || PyUnicode_Check(faces.ptr()))
        throw py::type_error(role + ": faces must be an M x k array or a list of index lists, not " +
                             type_name(faces));
    py::sequence rows = py::reinterpret_borrow<py::sequence>(faces);
    for (py::handle face : rows) {
        if (PyUnicode_Check(face.ptr()) || !PySequence_Check(face.ptr()))
            throw py::value_error(role + ": face " + std::to_string(face_number) +
                                  " must be a sequence of vertex indices, not " + type_name(face));
        py::object fast = py::reinterpret_steal<py::object>(PySequence_Fast(face.ptr(), "a face"));
        if (!fast) throw py::error_already_set();
        const Py_ssize_t k = PySequence_Fast_GET_SIZE(fast.ptr());
        PyObject** items = PySequence_Fast_ITEMS(fast.ptr());
        face_size(static_cast<size_t>(k));
        for (Py_ssize_t c = 0; c < k; ++c) {
            if (PyBool_Check(items[c]) || !PyIndex_Check(items[c]))
                throw py::value_error(role + ": face " + std::to_string(face_number) +
                                      " holds a vertex index that is not an integer: " + type_name(items[c]));
            py::object index = py::reinterpret_steal<py::object>(PyNumber_Index(items[c]));
            if (!index) throw py::error_already_set();
            int overflow = 0;
            long long value = PyLong_AsLongLongAndOverflow(index.ptr(), &overflow);
            if (overflow) value = overflow > 0 ? LLONG_MAX : LLONG_MIN;
            corner(value);
        }
        ++face_number;
    }
}

void set_positions(kestrane::PolygonObject& object, py::handle vertices, const std::string& role)
{
    const std::string shape_message = role + ": vertices must be an N x 3 array of numbers";
    py::array array = py::array::ensure(vertices);
    if (!array) throw py::value_error(shape_message);
    if (!is_array_kind(array, "biuf"))
        throw py::value_error(shape_message + ", not " + std::string(py::str(array.dtype())));
    if (array.ndim() != 2 || array.shape(1) != 3) {
        std::string shape;
        for (py::ssize_t d = 0; d < array.ndim(); ++d) shape += (d ? " x " : "") + std::to_string(array.shape(d));
        throw py::value_error(shape_message + ", not " + (shape.empty() ? "a scalar" : shape));
    }
    if (array.shape(0) > INT32_MAX) throw py::value_error(role + ": too many vertices");
    auto values = py::array_t<double, py::array::c_style | py::array::forcecast>::ensure(array);
    if (!values) throw py::value_error(shape_message);
    const size_t n = static_cast<size_t>(values.shape(0));
    const double* data = values.data();
    object.positions.resize(n);
    for (size_t i = 0; i < n; ++i) {
        const double* v = data + 3 * i;
        // The morph reads positions at float precision.
        for (int a = 0; a < 3; ++a)
            if (!std::isfinite(static_cast<float>(v[a])))
                throw py::value_error(role + ": vertex " + std::to_string(i) + " is (" + number_text(v[0]) + ", " +
                                      number_text(v[1]) + ", " + number_text(v[2]) +
                                      "): coordinates must be finite numbers in float range");
        object.positions[i] = Vector3{v[0], v[1], v[2]};
    }
}

kestrane::Surface memory_surface(py::handle vertices, const std::vector<py::handle>& face_blocks,
                                 const std::string& role)
{
    kestrane::PolygonMesh mesh;
    mesh.objects.resize(1);
    kestrane::PolygonObject& object = mesh.objects[0];
    set_positions(object, vertices, role);
    long face_number = 0;
    for (py::handle faces : face_blocks) add_faces(object, faces, role, face_number);
    return kestrane::Surface::memory(std::move(mesh), role);
}

// A str, bytes or os.PathLike as the bytes the system's calls take.
bool path_bytes(py::handle value, std::string* out, const std::string& role)
{
    if (!PyUnicode_Check(value.ptr()) && !PyBytes_Check(value.ptr()) && !py::hasattr(value, "__fspath__"))
        return false;
    py::object path = py::reinterpret_steal<py::object>(PyOS_FSPath(value.ptr()));
    if (!path) throw py::error_already_set();
    if (PyUnicode_Check(path.ptr())) path = py::reinterpret_steal<py::object>(PyUnicode_EncodeFSDefault(path.ptr()));
    if (!path) throw py::error_already_set();
    char* data = nullptr;
    Py_ssize_t size = 0;
    if (PyBytes_AsStringAndSize(path.ptr(), &data, &size) != 0) throw py::error_already_set();
    out->assign(data, static_cast<size_t>(size));
    // fopen would stop at the nul and open another file.
    if (out->find('\0') != std::string::npos) throw py::value_error(role + ": embedded null byte in the file name");
    return true;
}

}  // namespace

kestrane::Surface to_surface(py::handle value, const char* role_name)
{
    const std::string role = role_name;
    std::string path;
    if (path_bytes(value, &path, role)) return kestrane::Surface::file(path);
    if ((py::isinstance<py::tuple>(value) || py::isinstance<py::list>(value)) && py::len(value) == 2) {
        py::sequence pair = py::reinterpret_borrow<py::sequence>(value);
        py::object vertices = pair[0], faces = pair[1];
        return memory_surface(vertices, {faces}, role);
    }
    if (py::hasattr(value, "vertices") && py::hasattr(value, "faces")) {
        py::object vertices = value.attr("vertices"), faces = value.attr("faces");
        return memory_surface(vertices, {faces}, role);
    }
    if (py::hasattr(value, "points") && py::hasattr(value, "cells")) {
        // meshio: the surface is its triangle, quad and polygon blocks.
        std::vector<py::object> blocks;
        for (py::handle block : value.attr("cells")) {
            py::object type, data;
            if (py::hasattr(block, "type") && py::hasattr(block, "data")) {
                type = block.attr("type");
                data = block.attr("data");
            } else {
                py::sequence pair = py::reinterpret_borrow<py::sequence>(block);
                type = pair[0];
                data = pair[1];
            }
            const std::string name = py::str(type);
            if (name == "triangle" || name == "quad" || name.rfind("polygon", 0) == 0) blocks.push_back(data);
        }
        if (blocks.empty()) throw py::value_error(role + ": the mesh has no triangle, quad or polygon cells");
        py::object points = value.attr("points");
        return memory_surface(points, std::vector<py::handle>(blocks.begin(), blocks.end()), role);
    }
    throw py::type_error(role + " must be a file name, a (vertices, faces) pair or a mesh with vertices and faces, not " +
                         type_name(value));
}

// ---- parameters ------------------------------------------------------------

const char* const PARAMETER_NAMES[12] = {"frames",    "points",    "resolution", "quick",    "centres", "sizes",
                                         "antialias", "transform", "strength",   "locality", "threads", "voxel_size"};

long long integer(py::handle value, const std::string& name, long long low, long long high)
{
    if (PyBool_Check(value.ptr()) || !PyIndex_Check(value.ptr()))
        throw py::type_error(name + " must be an integer, not " + type_name(value));
    py::object index = py::reinterpret_steal<py::object>(PyNumber_Index(value.ptr()));
    if (!index) throw py::error_already_set();
    int overflow = 0;
    long long v = PyLong_AsLongLongAndOverflow(index.ptr(), &overflow);
    if (overflow || v < low || v > high)
        throw py::value_error(name + " must be " + std::to_string(low) + " to " + std::to_string(high) + ", not " +
                              std::string(py::str(index)));
    return v;
}

namespace {

double real(py::handle value, const std::string& name)
{
    if (PyUnicode_Check(value.ptr()) || PyBytes_Check(value.ptr()) || value.is_none())
        throw py::type_error(name + " must be a number, not " + type_name(value));
    const double v = PyFloat_AsDouble(value.ptr());
    if (v == -1.0 && PyErr_Occurred()) {
        PyErr_Clear();
        throw py::type_error(name + " must be a number, not " + type_name(value));
    }
    return v;
}

bool flag(py::handle value, const std::string& name)
{
    if (PyBool_Check(value.ptr())) return value.ptr() == Py_True;
    // Kept for the process's life: no destructor runs after the interpreter ends.
    static py::handle numpy_bool = py::object(py::module_::import("numpy").attr("bool_")).release();
    if (py::isinstance(value, numpy_bool)) return PyObject_IsTrue(value.ptr()) == 1;
    if (PyLong_Check(value.ptr())) {
        const long v = PyLong_AsLong(value.ptr());
        if (v == 0 || v == 1) return v == 1;
    }
    throw py::type_error(name + " must be True or False, not " + std::string(py::repr(value)));
}

}  // namespace

void set_parameter(MorphParameters& p, const std::string& name, py::handle value)
{
    if (name == "frames") {
        p.frame_count = static_cast<uint16_t>(integer(value, name, 2, 65535));
    } else if (name == "points") {
        p.min_points = static_cast<uint16_t>(integer(value, name, 1, 32767));
    } else if (name == "resolution") {
        p.resolution = static_cast<uint16_t>(integer(value, name, 1, 8));
    } else if (name == "voxel_size") {
        if (value.is_none()) {
            p.voxel_size = 0;
            return;
        }
        const double v = real(value, name);
        if (!(std::isfinite(v) && v > 0))
            throw py::value_error("voxel_size must be a finite length above 0 (or None: set by points), not " +
                                  number_text(v));
        p.voxel_size = v;
    } else if (name == "threads") {
        p.threads = static_cast<uint16_t>(integer(value, name, 0, 256));
    } else if (name == "quick") {
        p.quick_morph = flag(value, name);
    } else if (name == "centres") {
        p.scale_centres = flag(value, name);
    } else if (name == "sizes") {
        p.scale_sizes = flag(value, name);
    } else if (name == "antialias") {
        const double d = real(value, name);
        if (!(std::isfinite(d) && d >= 0))
            throw py::value_error("antialias must be a finite distance of 0 or more (0 disables), not " +
                                  number_text(d));
        // As -a: a distance of a sample or less turns antialiasing off.
        p.antialias = d > 1;
        p.antialias_distance = d > 1 ? d : 0.0;
    } else if (name == "strength" || name == "locality") {
        const double v = real(value, name);
        if (!(std::isfinite(v) && v > 0))
            throw py::value_error(name + " must be a finite number above 0, not " + number_text(v));
        (name == "strength" ? p.strength : p.locality) = v;
    } else if (name == "transform") {
        if (value.is_none()) {
            const MorphParameters defaults;
            std::memcpy(p.transform, defaults.transform, sizeof p.transform);
            return;
        }
        auto m = py::array_t<double, py::array::c_style | py::array::forcecast>::ensure(value);
        const bool square = m && m.ndim() == 2 && m.shape(0) == 4 && m.shape(1) == 4;
        if (!square && !(m && m.ndim() == 1 && m.shape(0) == 16))
            throw py::value_error("transform must be a 4 x 4 matrix of numbers, 16 numbers as -t takes them, or None");
        // The library's layout is -t's: column-major, the translation in
        // elements 12..14. A 4 x 4 matrix is written as it multiplies a
        // column (x, y, z, 1).
        double t[16];
        for (int i = 0; i < 16; ++i) {
            const int row = i % 4, column = i / 4;
            t[i] = square ? m.data()[row * 4 + column] : m.data()[i];
            if (!std::isfinite(t[i]))
                throw py::value_error("transform must hold finite numbers, not " + number_text(t[i]) + " at row " +
                                      std::to_string(row) + ", column " + std::to_string(column));
        }
        // The bottom row is never read: a projective matrix would be applied
        // as some other matrix.
        if (t[3] != 0 || t[7] != 0 || t[11] != 0 || t[15] != 1)
            throw py::value_error("transform must be affine: its bottom row must be 0, 0, 0, 1");
        std::memcpy(p.transform, t, sizeof t);
    } else {
        throw py::type_error("unknown option " + name);
    }
}

py::object get_parameter(const MorphParameters& p, const std::string& name)
{
    if (name == "frames") return py::int_(p.frame_count);
    if (name == "points") return py::int_(p.min_points);
    if (name == "resolution") return py::int_(p.resolution);
    if (name == "threads") return py::int_(p.threads);
    if (name == "voxel_size") return p.voxel_size > 0 ? py::object(py::float_(p.voxel_size)) : py::object(py::none());
    if (name == "quick") return py::bool_(p.quick_morph);
    if (name == "centres") return py::bool_(p.scale_centres);
    if (name == "sizes") return py::bool_(p.scale_sizes);
    if (name == "antialias") return py::float_(p.antialias ? p.antialias_distance : 0.0);
    if (name == "strength") return py::float_(p.strength);
    if (name == "locality") return py::float_(p.locality);
    if (name == "transform") {
        py::array_t<double> m({4, 4});
        for (int i = 0; i < 16; ++i) m.mutable_data()[(i % 4) * 4 + i / 4] = p.transform[i];
        return std::move(m);
    }
    throw py::type_error("unknown option " + name);
}

// ---- vectors ---------------------------------------------------------------

Vector3 to_point(py::handle value, const char* what)
{
    auto a = py::array_t<double, py::array::c_style | py::array::forcecast>::ensure(value);
    if (!a || a.size() != 3 || a.ndim() != 1)
        throw py::value_error(std::string(what) + " must be a point of 3 numbers");
    const double* v = a.data();
    for (int i = 0; i < 3; ++i)
        if (!std::isfinite(v[i])) throw py::value_error(std::string(what) + " must hold finite numbers");
    return {v[0], v[1], v[2]};
}

py::tuple point_tuple(const Vector3& v) { return py::make_tuple(v.x, v.y, v.z); }

std::vector<kestrane::Correspondence> to_vectors(py::handle value)
{
    if (PyUnicode_Check(value.ptr()) || !PySequence_Check(value.ptr()))
        throw py::type_error("vectors must be a sequence of (start, end) pairs, not " + type_name(value));
    std::vector<kestrane::Correspondence> out;
    size_t i = 0;
    for (py::handle pair : py::reinterpret_borrow<py::sequence>(value)) {
        const std::string what = "vectors[" + std::to_string(i++) + "]";
        if (PyUnicode_Check(pair.ptr()) || !PySequence_Check(pair.ptr()) || py::len(pair) != 2)
            throw py::value_error(what + " must be a (start, end) pair of points");
        py::sequence ends = py::reinterpret_borrow<py::sequence>(pair);
        out.push_back({to_point(ends[0], (what + " start").c_str()), to_point(ends[1], (what + " end").c_str())});
    }
    return out;
}

// ---- frames ----------------------------------------------------------------

namespace {

// Rows of three over values, which the array then owns: no copy.
template <class T>
py::array rows_of_three(std::vector<T>&& values)
{
    const py::ssize_t rows = static_cast<py::ssize_t>(values.size() / 3);
    if (rows == 0) return py::array_t<T>(std::vector<py::ssize_t>{0, 3});
    auto* owned = new std::vector<T>(std::move(values));
    py::capsule owner(owned, [](void* p) { delete static_cast<std::vector<T>*>(p); });
    return py::array_t<T>({rows, py::ssize_t{3}}, owned->data(), owner);
}

}  // namespace

Frame to_frame(kestrane::Mesh&& mesh)
{
    Frame f;
    f.vertices = rows_of_three(std::move(mesh.vertices));
    f.faces = rows_of_three(std::move(mesh.faces));
    f.normals = rows_of_three(std::move(mesh.normals));
    f.colours = rows_of_three(std::move(mesh.colours));
    return f;
}

// ---- errors ----------------------------------------------------------------

namespace {

// The errno whose text ends the reason ("... cannot be opened: No such
// file or directory"), or 0.
int errno_of(const std::string& reason)
{
    for (int e = 1; e < 134; ++e) {
        const std::string text = std::string(": ") + std::strerror(e);
        if (reason.size() >= text.size() && reason.compare(reason.size() - text.size(), text.size(), text) == 0)
            return e;
    }
    return 0;
}

}  // namespace

void raise_result(const kestrane::Result& r)
{
    using kestrane::Problem;
    PyObject* type = PyExc_ValueError;
    py::object error;
    switch (r.problem) {
    case Problem::CannotOpen:
    case Problem::WriteFailed: {
        // OSError picks its subclass from the errno: FileNotFoundError, ...
        const int e = errno_of(r.reason);
        if (e)
            error = py::reinterpret_borrow<py::object>(PyExc_OSError)(e, r.reason, r.file);
        else {
            error = py::reinterpret_borrow<py::object>(PyExc_OSError)(r.reason);
            error.attr("filename") = r.file;
            error.attr("strerror") = r.reason;
        }
        break;
    }
    case Problem::NotEnoughMemory: type = PyExc_MemoryError; break;
    case Problem::Cancelled: type = PyExc_KeyboardInterrupt; break;
    default: break;
    }
    if (!error) error = py::reinterpret_borrow<py::object>(type)(r.reason);
    // For callers that sort failures without parsing the message.
    error.attr("problem") = kestrane::problem_name(r.problem);
    error.attr("file") = r.file;
    PyErr_SetObject(reinterpret_cast<PyObject*>(Py_TYPE(error.ptr())), error.ptr());
    throw py::error_already_set();
}

}  // namespace kestrane_python
