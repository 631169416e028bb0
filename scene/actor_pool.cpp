#include "scene/actor_pool.h"

#include <cctype>
#include <cstring>

uint16_t AllocateActor(SaverApplication& app) {
  int taken = -1;
  for (int i = 0; i < kActorCount; ++i) {
    if (app.actors[i].activity <= 0) {
      taken = i;
      break;
    }
  }
  if (taken < 0) {
    for (int i = 0; i < kActorCount; ++i) {
      if (app.actors[i].activity == kActWaitingWalker) {
        taken = i;
        break;
      }
    }
  }
  if (taken < 0) return kNoActor;
  ClearActor(app.actors[taken]);
  app.actors[taken].arrivalDirection = kDirAuto;
  return static_cast<uint16_t>(taken);
}

int CountFreeActors(const SaverApplication& app) {
  int count = 0;
  for (const ActorSlot& actor : app.actors) {
    if (actor.activity == kActFree) ++count;
  }
  return count;
}

void ClearActor(ActorSlot& actor) {
  std::memset(static_cast<void*>(&actor), 0, sizeof(ActorSlot));
}

void BuildDrawOrder(SaverApplication& app) {
  uint8_t* places = app.drawOrder;
  std::memset(places, 0, kDrawOrderSize);
  for (int i = 0; i < kActorCount; ++i) {
    if (app.actors[i].activity <= 0) continue;
    const int32_t y = Trunc(app.actors[i].y);
    int place = i;
    for (int p = 0; p < i; ++p) {
      if (places[p] != 0 && Trunc(app.actors[places[p] - 1].y) > y) {
        place = p;
        break;
      }
    }
    if (place != i) std::memmove(places + place + 1, places + place, static_cast<size_t>(i - place));
    places[place] = static_cast<uint8_t>(i + 1);
  }
  for (int p = 0; p < kActorCount; ++p) {
    if (places[p] != 0 && app.actors[places[p] - 1].activity == kActStork) {
      places[kActorCount] = places[p];
      places[p] = 0;
      break;
    }
  }
}

uint32_t SceneRandomRange(SaverApplication& app, int64_t lo, int64_t hi) {
  const uint32_t ulo = static_cast<uint32_t>(lo);
  const uint32_t uhi = static_cast<uint32_t>(hi);
  if (uhi - ulo + 1u == 0u) {
    // The generator's state lies in 1 .. 2^31 - 2, so Random(0x7FFFFFFE) returns the state itself.
    return ulo + app.random.Random(0x7FFFFFFEu);
  }
  return app.random.RandomRange(ulo, uhi);
}

uint32_t SceneRandom(SaverApplication& app, uint32_t n) {
  return app.random.Random(n);
}

bool SameName(const char* a, const char* b) {
  if (!a || !b) return false;
  for (;; ++a, ++b) {
    const int ca = std::tolower(static_cast<unsigned char>(*a));
    const int cb = std::tolower(static_cast<unsigned char>(*b));
    if (ca != cb) return false;
    if (ca == 0) return true;
  }
}

void SetCreatureName(ActorSlot& actor, const char* name) {
  char copy[kCreatureNameSize];
  std::strncpy(copy, name, kCreatureNameSize - 1);
  copy[kCreatureNameSize - 1] = 0;
  std::memcpy(actor.creatureName, copy, kCreatureNameSize);
}

bool IsAnimal(const char* name) {
  return SameName(name, "rabbit") || SameName(name, "sheep") || SameName(name, "sheepnude");
}

bool IsBaby(const char* name) {
  return SameName(name, "baby_male") || SameName(name, "baby_female");
}

bool IsSoldier(const char* name) {
  return SameName(name, "soldier_a") || SameName(name, "soldier_b") || SameName(name, "soldier_c");
}
