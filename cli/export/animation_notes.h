// What an export of an animated model would leave out without a word: its animation
// (--animation is off) or the animation of objects that are not bones ("Only bones").
#pragma once

#include <string>
#include <vector>

#include "cli/export/model_preset.h"
#include "korvo/host/host.h"
#include "korvo/import/scene_from_model.h"
#include "korvo/scene/scene.h"

namespace korvo::cli {

// One line per thing left out by the dialog's settings after `script`, each naming the
// option that keeps it; none when nothing animated is left out.
// None either when the user turned the animation off.
std::vector<std::string> animationNotes(const Scene& scene, const DialogScript& script);

// Which of the import's notes concern the export after `script`: none on skins when no
// bones are written, none on animations when the user turned the animation off.
void chooseImportNotes(const DialogScript& script, import::ImportChoices& choices);
// What the command's model preset asks of `scene`, a model just read.
ModelFacts modelFacts(const Scene& scene);

}  // namespace korvo::cli
