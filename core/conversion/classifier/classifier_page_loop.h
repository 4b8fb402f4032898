// The edge-aware pixel classifier: decides each gray pixel of the working
// image from its neighbours.
#pragma once

#include <cstdint>
#include <span>

#include "arriving_rows.h"
#include "classifier_lookups.h"
#include "classifier_rules.h"
#include "engine_sink.h"
#include "original_rows.h"

// 'ClassifyPage()' - Visit the pixels of the working image row by row, left
// to right, and let the classifier decide every pixel that is neither 0 nor
// 255. 'pvBits' is the working image after the Otsu pass (rewritten in
// place): one byte per cell, RowCells(nBytePerRow) cells a row, for the
// printer's rows of nBytePerRow bytes (see Neighbourhood). The original
// grays of the few rows the classifier reads around the row it decides are
// kept as it goes down the page; below the page it reads white. The decision
// of one pixel, (368, 306), is traced to 'log' when there is one. With
// 'arriving', the rows are still being drawn: each row is decided as soon as
// the rows it reads are in place, and the classifier stops where they stop.
void ClassifyPage(std::span<uint8_t> pvBits, int cx, int cy, int nBytePerRow,
                  const LogLines &log = {}, const ArrivingRows *arriving = nullptr);

// What ProcessLine() did with a gray pixel: the rule that decided it and its
// colour, and the last column of its row that the colour was written into.
struct LineDecision {
  Decision decision;
  int last = 0;
};

// 'ProcessLine()' - Decide the gray pixel (x, y) black or white and write the
// colour into it and along the run of like pixels to its right. 'pPixel' is
// the working image, 'org' the original grays around row y (rows y - 1 to
// y + 1 and the first cells of row y + 2; one byte per cell, see
// Neighbourhood), 'nWidth' the stride in bytes of the printer's rows and
// 'nHeight' the number of rows; 'lookups' serves the row-above run and the
// right scan for this page. Every earlier pixel in row-by-row, left-to-right
// order must be decided already. The decision of (368, 306) is traced to
// 'log' when there is one.
LineDecision ProcessLine(std::span<uint8_t> pPixel, const OriginalRows &org, int x, int y,
                         int nWidth, int nHeight, ClassifierLookups &lookups,
                         const LogLines &log = {});
