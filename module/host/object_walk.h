// The one walk over the host's object tree: `first`, its later siblings and all their
// descendants, depth first, each object before its children. The walk keeps the path
// from `first` to the current object in host memory, not on the stack, so that the
// depth of a scene never reaches the stack.
//
// The visitor answers three calls; `Level` is a plain record the walk keeps for every
// object on the path, for what the visitor must undo when it leaves the object:
//   KrvObject enter(KrvObject object, int32_t depth, Level& level)
//       the object whose children come next: the object itself, one that stands for it,
//       or null for none;
//   void leave(KrvObject object, int32_t depth, Level& level)
//       once everything below the object has been left;
//   bool goesOn() const
//       false ends the walk: nothing more is entered, everything entered is left.
#pragma once

#include <cstdint>

#include "host/host_array.h"
#include "host/objects.h"

namespace dorna {

// A level for visitors that keep nothing per object.
struct NoLevel {};

// False when the host refused the memory for the path: nothing more was entered, and
// everything entered was left.
template <typename Level, typename Visitor>
[[nodiscard]] bool walkDepthFirst(KrvObject first, Visitor& visitor) {
    struct Step {
        KrvObject object;
        Level level;
    };
    HostArray<Step> path;
    int32_t depth = 0;
    bool stored = true;
    KrvObject next = first;
    for (;;) {
        if (next && stored && visitor.goesOn()) {
            if (depth < INT32_MAX && path.grow(depth, int64_t{depth} + 1)) {
                Step& step = path[depth];
                step = Step{next, Level{}};
                const KrvObject parent = visitor.enter(next, depth, step.level);
                ++depth;
                next = parent ? firstChild(parent) : nullptr;
                if (next) continue;
            } else {
                stored = false;
            }
        }
        // The innermost object entered is done: leave it, then go on to its next sibling.
        if (depth == 0) return stored;
        --depth;
        Step& step = path[depth];
        visitor.leave(step.object, depth, step.level);
        next = stored && visitor.goesOn() ? nextObject(step.object) : nullptr;
    }
}

// The walk for visits that keep nothing per object: enter(object, depth) answers
// whether the walk goes on (false ends it there), leave(depth) follows once everything
// below the object has been left.
template <typename Enter, typename Leave>
[[nodiscard]] bool visitDepthFirst(KrvObject first, Enter enter, Leave leave) {
    struct Visit {
        Enter& enterObject;
        Leave& leaveObject;
        bool more;
        bool goesOn() const { return more; }
        KrvObject enter(KrvObject object, int32_t depth, NoLevel&) {
            more = enterObject(object, depth);
            return object;
        }
        void leave(KrvObject, int32_t depth, NoLevel&) { leaveObject(depth); }
    } visit{enter, leave, true};
    return walkDepthFirst<NoLevel>(first, visit);
}

// The same without a leave.
template <typename Enter>
[[nodiscard]] bool visitDepthFirst(KrvObject first, Enter enter) {
    return visitDepthFirst(first, enter, [](int32_t) {});
}

}  // namespace dorna
