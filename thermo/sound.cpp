#include "thermo/sound.h"

#include "core/session.h"

namespace kvil {

// Placeholder body; the sound-velocity module replaces it.
void ComputeSoundVelocity(Session& session, int, int, bool) {
  session.ws.results.soundSpeed = 0;
}

}  // namespace kvil
