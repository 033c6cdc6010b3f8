#pragma once
// Whether a -t matrix (16 values, column-major) can place a surface: every
// value finite and the 3x3 part invertible. A singular matrix flattens the
// source to nothing and a NaN or an infinity poisons every coordinate, so
// both programs refuse such a matrix where it is given.

bool transform_usable(const double* m);
