#include "step_record.h"

void StepRecord::clear() {
    shots.clear();
    hits.clear();
    contacts.clear();
    ended = false;
}

int StepRecord::hitsLandedBy(int i) const {
    int count = 0;
    for (const Hit& hit : hits) {
        count += hit.shooter == i ? 1 : 0;
    }
    return count;
}

int StepRecord::hitsTakenBy(int i) const {
    int count = 0;
    for (const Hit& hit : hits) {
        count += hit.target == i ? 1 : 0;
    }
    return count;
}

bool StepRecord::touches(int firefly, Obstacle obstacle, int other) const {
    for (const Contact& contact : contacts) {
        if (contact.firefly == firefly && contact.obstacle == obstacle && contact.other == other) {
            return true;
        }
    }
    return false;
}
