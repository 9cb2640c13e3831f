// The readable, stable text form of a dialog that `korvo dialog` prints.
#pragma once

#include <string>

#include "korvo/host/host.h"

namespace korvo {

// One line per group and element, indented two blanks per level:
//   title "Dorna - Export settings"
//   group 10002 "Generals" (1 column)
//     checkbox 10006 "Export normals" = on
//     number 10011 = 40 (disabled)
// A line shows the kind, the id (when not 0), the text (when given), the value
// (checkboxes on/off, integer fields as integers, real fields with up to 7 significant
// digits) and "(disabled)" for a disabled element.
std::string dialogToText(const DialogSnapshot& dialog);

}  // namespace korvo
