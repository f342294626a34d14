// The sums behind the repeated-measures F of many tables at once: of all the scores, of their squares, and of
// the squared subject and treatment totals, each table's running sums adding its scores subject by subject
// in treatment order. The tables' separate chains of roundings run side by side, on a baseline path or in
// AVX2 lanes, with the same bits. Qt-free.
#pragma once

#include "engine/Module1.h"
#include "engine/UniformBlocks.h"

#include <cstdint>

namespace brevant {

// The sums of one table, each a running sum in the table's precision: float sums (a float addition is the
// double addition rounded to float) within the designed sizes, double past them; squares formed in double.
struct TableSums {
    double grand = 0, squares = 0, subjectSquares = 0, treatmentSquares = 0;
};

// sums[b] = the sums of the table at tables + b * n * k (n subjects, rows of k scores), b = 0..count-1.
void SumTables(DrawPath path, SumPrecision precision, const float* tables, std::int32_t count, std::int32_t n,
               std::int32_t k, TableSums* sums);

}  // namespace brevant
