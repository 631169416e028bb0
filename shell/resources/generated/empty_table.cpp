// The generated table when no generated resources were added: nothing beyond the built-in palette.
#include "shell/resources/resources.h"

const EmbeddedResource kGeneratedResources[1] = {{nullptr, nullptr, nullptr, 0}};
const size_t kGeneratedResourceCount = 0;
