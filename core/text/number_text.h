#pragma once
// Numbers as a spreadsheet shows them in a cell of the General format, so that a number
// read from a workbook gives the text the operator saw.
#include <string>

namespace pv {

// Whole numbers below 1E+20 in plain digits (an order number stored as a number keeps
// every digit the file holds: 20240501001, not 2.024E+10); anything else as the General
// format shows it, at most 11 characters besides the sign: 1.5, -0.25, 0.000123457,
// 1.23457E+11, 1E+20, 1.5E-07. Digits beyond the 15th are those of the shortest text that
// gives the same number back. Not-a-number and infinities give empty text.
std::string generalNumberText(double value);

}  // namespace pv
