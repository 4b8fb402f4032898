// A drawn label as an 8-bit gray PNG picture at the printer's 203 dpi.
#pragma once

#include "labels/gray_canvas.h"

#include <cstdio>

// 'WriteGrayPng()' - Write the canvas to 'f' as a gray PNG; false when
// libpng fails. 'f' stays open.
bool WriteGrayPng(FILE *f, const labels::GrayCanvas &canvas);
