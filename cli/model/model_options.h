// The options of the commands that read a model (the reader's time limit, the animation
// to keep) and their guarded run: a crash or a hang of the model reader becomes one line
// and status 2.
#pragma once

#include <CLI/CLI.hpp>

#include <functional>
#include <string>

#include "korvo/host/host.h"
#include "korvo/scene/scene.h"

namespace korvo::cli {

// The default of --reader-time-limit, in seconds.
constexpr unsigned kReaderTimeLimit = 60;

// Adds --reader-time-limit SECONDS to `command`.
void addReaderTimeLimit(CLI::App& command, unsigned& seconds);

// Adds --animation-index N|NAME to `command`: the animation of a model that is the current take.
void addAnimationChoice(CLI::App& command, std::string& choice);

// Whether an imported model kept normals of its own (a polygon object with normals).
bool modelCarriesNormals(const Scene& scene);

// Runs `job` (the whole command) in a child process, `file` being the model it reads,
// then `cleanUp` (when given) however the child ended. A child killed by a signal that
// reached this process ends this process by the same signal.
int runWithModelReader(const std::string& file, unsigned seconds, const std::function<int()>& job,
                       const std::function<void()>& cleanUp = nullptr);

}  // namespace korvo::cli
