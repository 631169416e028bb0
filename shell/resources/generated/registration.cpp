// Part of tl_resources_generated: hands the generated table to the lookup.
#include "shell/resources/resources.h"

void RegisterGeneratedResources() {
  if (kGeneratedResourceCount > 0) RegisterEmbeddedResources(kGeneratedResources, kGeneratedResourceCount);
}
