// What an export of an animated model would leave out without a word: its animation
// (--animation is off) or the animation of objects that are not bones ("Only bones").
#pragma once

#include <string>
#include <vector>

#include "cli/model_preset.h"
#include "korvo/host.h"
#include "korvo/scene.h"

namespace korvo::cli {

// One line per thing left out by the dialog's settings after `script`, each naming the
// option that keeps it; none when nothing animated is left out.
std::vector<std::string> animationNotes(const Scene& scene, const DialogScript& script);

// What the command's model preset asks of `scene`, a model just read.
ModelFacts modelFacts(const Scene& scene);

}  // namespace korvo::cli
