#include "core/race_definition.h"

namespace volantis {

RaceDefinition::RaceDefinition() = default;

RaceDefinition::~RaceDefinition() {
  // The clean-up goes on whether or not the wait succeeded.
  GatesLockGuard guard(*this);
  gates.clear();
}

}  // namespace volantis
