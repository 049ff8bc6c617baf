// Fireflies standing where a test puts them, for the agent's tests and
// benchmarks, which read only position and heading.
#ifndef FIREFLIES_TEST_FIREFLIES_H
#define FIREFLIES_TEST_FIREFLIES_H

#include <memory>
#include <stdexcept>
#include <vector>

#include "firefly.h"
#include "gl_context.h"

// A list of fireflies in the form the game hands to the agent, owning them.
class TestFlock {
  public:
    // Adds a firefly at world (x, z) with heading in degrees; returns its index.
    // A Firefly loads its model, so this opens the test GL context first
    // (tests run in data/, where "firefly.obj" is).
    int add(float x, float z, float heading) {
        if (!openTestContext(nullptr)) {
            throw std::runtime_error("building a firefly needs a GL context, and there is none");
        }
        owned_.push_back(std::make_unique<Firefly>());
        Firefly* fly = owned_.back().get();
        fly->x = x;
        fly->z = z;
        fly->heading = heading;
        list_.push_back(fly);
        return static_cast<int>(list_.size()) - 1;
    }
    Firefly** list() { return list_.data(); }                    // the game's `fireflies`
    int count() const { return static_cast<int>(list_.size()); } // the game's `fireflyCount`
    Firefly& operator[](int i) { return *list_[static_cast<std::size_t>(i)]; }

  private:
    std::vector<std::unique_ptr<Firefly>> owned_;
    std::vector<Firefly*> list_;
};

#endif
